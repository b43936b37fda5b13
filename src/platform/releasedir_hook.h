/*
 * releasedir_hook.h - pointing the distribution lookup at another folder.
 *
 * Compiled only into the static test build (OV_TEST_HOOKS); libovbase.so
 * always reads the release files under /etc.  Tests lay out release files
 * in a temporary folder and point the lookup there.
 */
#ifndef OVBASE_RELEASEDIR_HOOK_H
#define OVBASE_RELEASEDIR_HOOK_H

#ifdef __cplusplus
extern "C" {
#endif

/* Makes ov_sysinfo look for the release files in dir instead of /etc; null
   restores /etc.  A dir of 400 characters or more is cut. */
void ov_testSetReleaseDir(const char *dir);

#ifdef __cplusplus
}
#endif

#endif /* OVBASE_RELEASEDIR_HOOK_H */
