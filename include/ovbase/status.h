/*
 * ovbase/status.h - the product's status codes, their names and messages.
 *
 * Conventions:
 *  - A status code is a signed 16-bit value: 0 (S_OKAY) is success, positive
 *    codes are informational outcomes, negative codes are errors.  The table
 *    holds the codes of the whole product so that any program can name and
 *    explain any code it meets; ovbase itself returns only a few of them.
 *  - Codes passed in are reduced to signed 16 bits before the lookup, so a
 *    32-bit 65536 looks up code 0.
 *  - When two rows share a code (6001), the earlier row wins every lookup.
 *  - All returned texts are static: never release or change them.
 *  - The table is constant: every function here is safe from any thread.
 */
#ifndef OVBASE_STATUS_H
#define OVBASE_STATUS_H

#include "ovdefs.h"

OV_BEGIN_DECLS

/* A status code. */
typedef int16_t OV_STATUS;

/* The one list of status codes, in lookup order: X(code, name, message).
   It generates the constants below and the library's own table. */
#define OV_STATUS_MAP(X) \
    /* Success and informational results (0 and positive) */ \
    X(     0, S_OKAY,                "normal return, okay") \
    X(     1, S_EOS,                 "end of set") \
    X(     2, S_NOTFOUND,            "record not found") \
    X(     3, S_DUPLICATE,           "duplicate key") \
    X(     4, S_KEYSEQ,              "field type used out of sequence in d_keynext") \
    X(     5, S_UNAVAIL,             "lock request currently unavailable") \
    X(     6, S_DELETED,             "record/set deleted since last accessed") \
    X(     7, S_MAXRECORDS,          "maximum number of records has been reached") \
    X(     8, S_EXOPENED,            "database is exclusively opened") \
    X(     9, S_OPENED,              "cannot exclusively open database, it is already opened") \
    X(    10, S_INCMODE,             "incompatible open mode (db already open)") \
    X(    11, S_UPGDEN,              "upgrade denied - another upgrade pending") \
    X(    12, S_NOLOCK,              "trying to free unlocked entity") \
    X(    13, S_NOTGRANTED,          "deprecated -- instance is covered by existing table lock") \
    X(    14, S_LOCKCOVERED,         "instance lock is covered by existing table lock") \
    X(    15, S_LOCKED,              "lock was granted in previous request") \
    X(    16, S_WRONGBACK,           "wrong backup is stamped on files") \
    X(    17, S_SETCLASH,            "set currency clash with another user") \
    X(    18, S_RPCENDOFPARMS,       "End of RPC Parameter list reached ") \
    X(    19, S_VOIDTX,              "Cannot roll back a void transactions") \
    X(    22, S_CATLOCKED,           "Catalog is locked by another process") \
    X(    23, S_LOCKLIMIT,           "session's max. # instance locks have been granted") \
    X(    24, S_PARMEND,             "End of parameters has been reached") \
    X(    25, S_DCHAINTIMEOUT,       "dchain timeout occurred in NOGROWMODE") \
    X(    26, S_ENCNOTAVAILABLE,     "encryption is not available in this version") \
    X(    27, S_BUFFERTOOSMALL,      "supplied buffer is too small") \
    X(    28, S_ISNULL,              "the field contents are NULL") \
    X(  1000, S_MORE_DATA,           "more data") \
    X(  6001, S_CORRUPTED,           "'Corrupted' status, program successful") \
    X(  6001, S_DBRIDLE,             "Idle (available for use) status") \
    X(  6002, S_DBRACTIVE,           "Active (already in use) status") \
    X(  6003, S_DBRABORT,            "Abort status") \
    /* Database usage errors (-1 to -84) */ \
    X(    -1, S_DBOPEN,              "database not opened") \
    X(    -2, S_INVSET,              "invalid set") \
    X(    -3, S_INVREC,              "invalid record") \
    X(    -4, S_INVDB,               "invalid database") \
    X(    -5, S_INVFLD,              "invalid field name") \
    X(    -6, S_INVADDR,             "invalid db_address") \
    X(    -7, S_NOCR,                "no current record") \
    X(    -8, S_NOCO,                "set has no current owner") \
    X(    -9, S_NOCM,                "set has no current member") \
    X(   -11, S_BADTYPE,             "invalid database open mode or lock type") \
    X(   -12, S_HASMEM,              "record is owner of non-empty set(s)") \
    X(   -13, S_ISMEM,               "record is member of set(s)") \
    X(   -14, S_ISOWNED,             "member already owned") \
    X(   -16, S_NOTCON,              "record not connected to set") \
    X(   -18, S_INVOWN,              "record not legal owner of set") \
    X(   -19, S_INVMEM,              "record not legal member of set") \
    X(   -20, S_INCOMPAT,            "incompatible dictionary file") \
    X(   -21, S_DELSYS,              "illegal attempt to delete system record") \
    X(   -22, S_NOTLOCKED,           "illegal attempt to access unlocked record/set") \
    X(   -23, S_TRANSID,             "transaction id not supplied") \
    X(   -24, S_TRACTIVE,            "transaction already active") \
    X(   -25, S_TRNOTACT,            "transaction not active") \
    X(   -26, S_TRFREE,              "cannot free locks within a transaction") \
    X(   -27, S_NOTRANS,             "attempted transaction in no-trans mode") \
    X(   -28, S_EXCLUSIVE,           "exclusive access required") \
    X(   -30, S_NOTOPTKEY,           "field is not an optional key field") \
    X(   -31, S_BADFIELD,            "field is not defined in current record type") \
    X(   -32, S_HASKEYS,             "record has one or more keys") \
    X(   -34, S_NOTYPE,              "no current record type") \
    X(   -35, S_INVSORT,             "invalid country table sort string") \
    X(   -37, S_INVSESS,             "session or database handle is invalid") \
    X(   -38, S_DBUNAVAIL,           "database is unavailable") \
    X(   -39, S_DBACCESS,            "no access rights to database") \
    X(   -41, S_ILLMODE,             "attempt to change read lock mode from within Tx") \
    X(   -42, S_BUFLEN,              "buffer is not big enough to receive contents") \
    X(   -43, S_CONFLICT,            "instance/table level locking conflict") \
    X(   -45, S_ILLDOWNG,            "illegal attempt to downgrade a lock inside a Tx") \
    X(   -46, S_NOFILE,              "unable to locate a file") \
    X(   -47, S_CATERR,              "catalog error") \
    X(   -51, S_DBPERM,              "no permission for Database operation") \
    X(   -52, S_INVNULL,             "A NULL pointer parameter has been provided") \
    X(   -53, S_INVELEM,             "Invalid table element requested") \
    X(   -54, S_NOMARK,              "Mark not found during d_trrollback") \
    X(   -55, S_STATIC,              "Illegal attempt to write/lock static entity") \
    X(   -56, S_PROGRAM,             "Program(mer) error -- can't do operation, but otherwise OK to proceed") \
    X(   -57, S_LONGPATH,            "Database file path too long") \
    X(   -58, S_INVMODE,             "Database opened in wrong mode for operation") \
    X(   -59, S_UNCOMMITED,          "Modification to an uncommitted set/record") \
    X(   -60, S_NODBERR,             "specified error handler not found") \
    X(   -61, S_BADBLOB,             "Blob data error - the blob data has been corrupted") \
    X(   -62, S_BLOBPOS,             "d_blobseek offset position out of range") \
    X(   -63, S_BLOBUPD,             "blob_id fields cannot be updated thru d_recwrite or d_c?write") \
    X(   -68, S_BADEXTNO,            "Bad extension file number specified in s_extFileGet") \
    X(   -69, S_BADEXTLIMIT,         "New extension file limit is invalid") \
    X(   -71, S_READONLY,            "attempt to modify a readonly file") \
    X(   -73, S_VIRTUALFIELD,        "invalid operation on virtual field") \
    X(   -74, S_NOSYSNULLS,          "record does not contain sysnulls_") \
    X(   -75, S_INVFLAG,             "invalid flag was supplied") \
    X(   -76, S_ALREADYENCRYPTED,    "the database is already encrypted") \
    X(   -78, S_INVKEY,              "invalid database key specified") \
    X(   -79, S_NOTENCRYPTED,        "the database is not encrypted") \
    X(   -80, S_INVFILE,             "invalid file") \
    X(   -81, S_BADVERPCODE,         "invalid versioning pseudo-code") \
    X(   -82, S_INVPCODEENTRY,       "invalid pseudo-code entry") \
    X(   -83, S_FIELD_NOT_NULL,      "field is not nullable") \
    X(   -84, S_DBA_RANGE,           "database address is out of range") \
    /* Schema definition errors (-500 to -549) */ \
    X(  -500, S_DDL_INV_HANDLE,      "the handle supplied was not of the correct type") \
    X(  -502, S_DDL_INV_STRUCT,      "cannot nest structures") \
    X(  -503, S_DDL_INV_MEMBER,      "the record cannot be a member of the set") \
    X(  -504, S_DDL_UNSUPPORTED,     "feature not supported") \
    X(  -505, S_DDL_DUP_MEMBER,      "record is already a member of the set") \
    X(  -507, S_DDL_INV_DB,          "invalid database") \
    X(  -508, S_DDL_DELETED,         "entry has been deleted") \
    X(  -509, S_DDL_INV_RECORD,      "the record is invalid") \
    X(  -510, S_DDL_DB_EXISTS,       "the database already exists") \
    X(  -511, S_DDL_INV_DEV,         "the device is invalid") \
    X(  -512, S_DDL_DUP_NAME,        "the name already exists") \
    X(  -513, S_DDL_DUP_ID,          "the id already exists") \
    X(  -514, S_DDL_INV_FILE,        "the file is invalid") \
    X(  -515, S_DDL_INV_FIELD,       "the field is invalid") \
    X(  -516, S_DDL_INV_KEY,         "the key is invalid") \
    X(  -517, S_DDL_INV_FLAGS,       "invalid flags for this object type") \
    X(  -518, S_DDL_NO_MEMS,         "set has no members") \
    X(  -519, S_DDL_OPTKEY_LIMIT,    "the database contains too many optional keys") \
    X(  -520, S_DDL_FILENOTUSED,     "created file was not used") \
    X(  -521, S_DDL_CMP_LIMIT,       "the maximum number of compare functions has been reached") \
    X(  -522, S_DDL_SUBFLD_LIMIT,    "the maximum number of sub-fields has been reached") \
    X(  -523, S_DDL_NO_FILES,        "the database contains no files") \
    X(  -524, S_DDL_NO_RECS,         "the database contains no records") \
    X(  -525, S_DDL_REC_TOO_LARGE,   "a record is too large for the data file") \
    X(  -526, S_DDL_KEY_TOO_LARGE,   "a key is too large for the key file") \
    X(  -527, S_DDL_BLOB_FILE,       "blob not specified in a blob file") \
    X(  -528, S_DDL_KEY_FILE,        "key not specified in a key file") \
    X(  -529, S_DDL_NO_SORTFLD,      "no sort fields specified for a sorted set") \
    X(  -530, S_DDL_EXTRA_SORTFLD,   "sort fields are invalid for a first/next/last set") \
    X(  -531, S_DDL_SYNTAX_ERROR,    "the schema contained a syntax error") \
    X(  -532, S_DDL_FIELDINKEY,      "the specified field is in a key") \
    X(  -533, S_DDL_KEY_NONUNIQUE,   "the key specified as unique had duplicate data") \
    X(  -537, S_DDL_HAS_SET,         "record cannot be deleted because it is involved in a set") \
    X(  -538, S_DDL_OPEN_INST,       "could not open a database instance for modification") \
    X(  -539, S_DDL_TRANSACTIVE,     "a transaction is already active") \
    X(  -540, S_DDL_EXISTING_FILE,   "new keys/records/blobs cannot be added to existing files") \
    X(  -541, S_DDL_OPTKEY_ERROR,    "cannot add an optional key to an existing record") \
    X(  -542, S_DDL_INV_CMP,         "invalid comparison function") \
    X(  -543, S_DDL_FIELDINSET,      "the specified field is used in a sorted set") \
    X(  -544, S_DDL_BADDEFAULT,      "defaults only work for new fields in existing records") \
    X(  -545, S_DDL_NOTNULLABLE,     "the field cannot be NULL") \
    X(  -547, S_DDL_INVCONVFORMAT,   "invalid type conversion format") \
    X(  -548, S_DDL_SLOT_TOO_SMALL,  "the slot for this record is too small to allow changes") \
    X(  -549, S_DDL_NO_CHANGE,       "the database contains no changes") \
    /* Resource error (-900) */ \
    X(  -900, S_NOSPACE,             "available disk space below min threshold") \
    /* Server, catalog and session errors (-1001 to -1069) */ \
    X( -1001, S_USERNAME,            "Unable to locate user name") \
    X( -1002, S_PASSWORD,            "Invalid password") \
    X( -1003, S_NOLOGIN,             "Login has been denied") \
    X( -1004, S_UNREGEM,             "Extension module is not registered in catalog") \
    X( -1005, S_BADSRV,              "Server handle was bad") \
    X( -1006, S_BADEMH,              "Extension module handle was bad") \
    X( -1009, S_LOADMODULE,          "rpc_emLoad call failed") \
    X( -1010, S_DEVEXISTS,           "Device exists") \
    X( -1011, S_DBEXISTS,            "Database exists") \
    X( -1012, S_PRIV,                "No privilege") \
    X( -1014, S_NODEV,               "No device") \
    X( -1015, S_NODB,                "No database") \
    X( -1016, S_EMEXISTS,            "Extension module already exists in catalog") \
    X( -1017, S_USEREXISTS,          "User name already exists in catalog") \
    X( -1018, S_FILEOPERR,           "Unable to open a file on server") \
    X( -1019, S_FILEWRERR,           "Unable to write to file on server") \
    X( -1020, S_FILERDERR,           "Unable to read from file on server") \
    X( -1023, S_NOCONFIG,            "Config record does not exist") \
    X( -1024, S_NODBFEXISTS,         "Database File does not exist") \
    X( -1025, S_NOEM,                "Extension module does not exist") \
    X( -1026, S_NOUSER,              "User does not exist") \
    X( -1027, S_EMMEMS,              "DEV_EM has members, delete not allowed") \
    X( -1028, S_DBASEMEMS,           "DEV_DBDINF has members, delete not allowed") \
    X( -1029, S_FILEMEMS,            "DEV_FILE has members, delete not allowed") \
    X( -1030, S_USERMEMS,            "DEV_USER has members, delete not allowed") \
    X( -1031, S_NOTONLIST,           "User/Database not on access list") \
    X( -1033, S_OWNEXIST,            "Owner allready exists") \
    X( -1034, S_CATTIME,             "Catalog Timeout") \
    X( -1035, S_DBINUSE,             "Database unavailable for catalog operation") \
    X( -1036, S_DUPFAMILY,           "Duplicate Family") \
    X( -1037, S_NOFAMILY,            "No Family Found") \
    X( -1038, S_DBNOTCON,            "Database Not connected to family") \
    X( -1039, S_DBALLCON,            "Database allready connected to a family") \
    X( -1040, S_INVEM,               "No ModDescribeFcns function in Extension Module") \
    X( -1041, S_BUACTIVE,            "backup mode is active") \
    X( -1042, S_BUNOTACTIVE,         "backup mode is not active") \
    X( -1043, S_BUBADFILEID,         "bad backup file id number") \
    X( -1045, S_BUOPTION,            "Bad s_backup function option specified") \
    X( -1046, S_BUTIMEOUT,           "Change log cycle timeout") \
    X( -1047, S_PATHEXISTS,          "Path currently exists for a different device") \
    X( -1048, S_FILEDEVICE,          "File currently exists for different database") \
    X( -1050, S_BADPATH,             "Illegal Physical Path for Device") \
    X( -1051, S_NOTATTACHED,         "Extension Module not currently attached") \
    X( -1054, S_LONGNAME,            "Name too long") \
    X( -1055, S_INCOMPSERVER,        "client <--> server incompatability") \
    X( -1056, S_NOTBASEFILE,         "file to s_extFileAdd is not a base file") \
    X( -1060, S_NOCMPFUNC,           "Comparison function not found") \
    X( -1061, S_OPENDBLIMIT,         "Open DB limit reached during d_iopen attempt") \
    X( -1062, S_INVFCN,              "Invalid extension module function") \
    X( -1063, S_TOOMANYEMS,          "Too many extension modules are loaded") \
    X( -1064, S_PARMINTERR,          "Parameter list internal error") \
    X( -1065, S_INVPARM,             "Invalid parameter") \
    X( -1066, S_NOT_STARTED,         "Server not started") \
    X( -1067, S_NOPASSWORD,          "No password specified") \
    X( -1068, S_DEPRECATEDFCN,       "Function is deprecated and should no longer be used") \
    X( -1069, S_DDLTRACTIVE,         "a ddl transaction is active") \
    /* NCP network session errors (-2000 to -2010) */ \
    X( -2000, S_NCPINVSTATE,         "NPC subsystem in invalid state for operation") \
    X( -2001, S_INVSVRNAME,          "Invalid server name") \
    X( -2003, S_SESSINUSE,           "NCP session is in use") \
    X( -2004, S_INVSESSID,           "Invalid Session Id") \
    X( -2005, S_SVRUNAVAIL,          "Server unavailable (i.e., doesn't exist)") \
    X( -2006, S_INSUFFNETRES,        "Insufficient Network Resources") \
    X( -2007, S_SESREJECT,           "Session rejected connection") \
    X( -2008, S_NINTERR,             "NCP internal error") \
    X( -2009, S_SESDISCON,           "The session is disconnected") \
    X( -2010, S_NOMEMORY,            "client was unable to grant memory") \
    /* DPL errors (-4000 to -4005) */ \
    X( -4000, S_DPLINTERR,           "Internal DPL Error") \
    X( -4002, S_DPLINTOVF,           "Integer Overflow") \
    X( -4005, S_DPLINTUNDF,          "Integer Underflow") \
    /* RPC errors (-5001 to -5008) */ \
    X( -5001, S_RPCINTERR,           "Internal RPC Error") \
    X( -5003, S_RPCSESSDISC,         "Network session has been disconnected") \
    X( -5004, S_RPCINVDATAITEM,      "Invalid Data Item in Parameter List") \
    X( -5005, S_RPCINVDATATYPE,      "Invalid Data Item type in Parameter List") \
    X( -5008, S_RPCCRCFAILURE,       "CRC failure in a message") \
    /* VUVUDUVE tool errors (-6000 to -6004) */ \
    X( -6000, S_DBRERROR,            "VUVUDUVE: Internal error") \
    X( -6001, S_DBRKEYERR,           "VUVUDUVE: Early termination on key file") \
    X( -6002, S_DBRNOREPORT,         "VUVUDUVE: Unable to create output file") \
    X( -6003, S_DBRBADDB,            "VUVUDUVE: Unable to open database") \
    X( -6004, S_DBRSYNTAX,           "VUVUDUVE: Invalid or erroneous invocation options") \
    /* VEDUZI tool errors (-7000 to -7003) */ \
    X( -7000, S_DBSERROR,            "VEDUZI: Internal error") \
    X( -7002, S_DBSNORESULT,         "VEDUZI: Unable to create output file") \
    X( -7003, S_DBSBADDB,            "VEDUZI: Unable to open database") \
    /* end of list */

#define OV_STATUS_ENUM_(code, name, message) name = (code),
enum { OV_STATUS_MAP(OV_STATUS_ENUM_) };
#undef OV_STATUS_ENUM_

/* Fills buffer (size bytes, at least 1) with the code's message, a blank and
   its name in parentheses: "record not found (S_NOTFOUND)".  A code without
   a row gives "NO MESSAGE AVAILABLE (UNKNOWN)".  All size bytes are cleared
   first; the text is cut silently at size - 1 characters and always
   terminated.  A null buffer or a size of 0 writes nothing.  Returns S_OKAY
   in every case. */
OV_API OV_STATUS ov_errinfo(int32_t code, char *buffer, uint32_t size);

/* Stores a pointer to the code's message in *message, or a null pointer when
   the code has no row, and returns S_OKAY.  A null `message` returns
   S_INVNULL and stores nothing. */
OV_API OV_STATUS ov_errorinfo(int32_t code, const char **message);

/* Returns the code's symbolic name ("S_NOMEMORY"), or "UNKNOWN" when the code
   has no row.  Never null. */
OV_API const char *ov_errorname(int32_t code);

OV_END_DECLS

#endif /* OVBASE_STATUS_H */
