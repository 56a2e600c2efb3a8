/*
 * pellam.h: the interface of the Pellam mail library (libpellam.so).
 *
 * Plain C functions over fixed records and NUL-terminated 8-bit strings in buffers
 * the caller supplies. Every function but the memory functions, GetErrorText and
 * ScanParentheses returns a 32-bit status code, 0 on success; GetErrorText turns any
 * code into text. Blocks the library hands out are given back only through the
 * library (FreeMem, FreeAliasBuff, FreeMailHeaders, CloseMailMessage). Directory
 * paths passed between functions are absolute and end in "/".
 */
#ifndef PELLAM_H
#define PELLAM_H

#include <stddef.h>
#include <stdint.h>

#include "pellam_status.h" /* the status codes, generated from the catalogue */

#ifdef __cplusplus
extern "C" {
#endif

#if defined(PELLAM_BUILDING_LIBRARY)
#define PELLAM_API __attribute__((visibility("default")))
#else
#define PELLAM_API
#endif

#define PELLAM_MAX_PATH 260

/* ---- Records ---------------------------------------------------------------- */

/* The machine's mail parameters (registry key Software\Corwent\Pellam under
 * HKEY_LOCAL_MACHINE). Four 260-byte strings and seven 32-bit numbers: 1068 bytes. */
typedef struct MailSystemProfile {
  char MailQueuePath[PELLAM_MAX_PATH];   /* queue directory, absolute, ends in "/" */
  char MailTempPath[PELLAM_MAX_PATH];    /* where messages are built before posting */
  char ErrorFile[PELLAM_MAX_PATH];       /* for the service; not interpreted here */
  char ExternalGateway[PELLAM_MAX_PATH]; /* gateway node for external mail, or "" */
  uint32_t SendThreadLimit;
  uint32_t ReceiveThreadLimit;
  uint32_t NetSendTimeout;    /* milliseconds */
  uint32_t NetReceiveTimeout; /* milliseconds */
  uint32_t MaximumHops;
  uint32_t SenderRetryDelta; /* milliseconds */
  uint32_t SenderRetryLimit; /* milliseconds */
} MailSystemProfile;

/* One user's mail settings (the same key path in the user's hive). Next and
 * Selected belong to the caller (the service chains records for forwarding). Size
 * checks compare with sizeof(MailProfile); pass sizeof. */
typedef struct MailProfile {
  struct MailProfile* Next;
  char AccountName[PELLAM_MAX_PATH];
  char FullName[PELLAM_MAX_PATH];
  char MailDirectory[PELLAM_MAX_PATH]; /* absolute, ends in "/" */
  char Forward[PELLAM_MAX_PATH];       /* forwarding address, or "" */
  uint32_t Selected;                   /* zeroed by every read */
  int32_t AutoReply;      /* 0 off; bit 0 on; bit 1 every message, else once per sender */
  int32_t DisableNewMail; /* nonzero stops delivery of new mail */
} MailProfile;

/* A string field whose first character is this asks a write function to delete the
 * stored value; an empty field leaves it alone. */
#define PELLAM_DELETE_MARK '\x7f'

/* A date: the eight 16-bit fields of the original platform's SYSTEMTIME, 0xFFFF for
 * a field the text did not give. */
typedef struct MailDate {
  uint16_t Year;
  uint16_t Month;     /* 1 to 12 */
  uint16_t DayOfWeek; /* 0 Sunday to 6 Saturday */
  uint16_t Day;
  uint16_t Hour;
  uint16_t Minute;
  uint16_t Second;
  uint16_t Milliseconds;
} MailDate;
#define MAIL_DATE_UNKNOWN 0xFFFF

/* An open message under composition; see CreateMailMessage. */
typedef struct MailMessage* MailHandle;

/* ---- Constants -------------------------------------------------------------- */

/* Alias scopes. */
#define ALIAS_SCOPE_ANY 0    /* look-up only: the user's aliases, then the system's */
#define ALIAS_SCOPE_USER 1   /* Software\Corwent\Pellam\Alias in the user's hive */
#define ALIAS_SCOPE_SYSTEM 2 /* the same key in the machine hive */

/* Forms of a parsed address. */
#define ADDR_FORM_DECNET 61   /* local and DECnet forms: NODE::USER */
#define ADDR_FORM_EXTERNAL 64 /* external form: user@host */

/* What CheckRemote reports. */
#define ADDR_LOCAL 0
#define ADDR_REMOTE 1
#define ADDR_EXTERNAL (-1)

/* Address kinds of AddAddresses. */
#define ADDR_TO 0
#define ADDR_CC 1
#define ADDR_SINGLE (-1) /* exactly one address, taken literally */

/* Composition states of a message handle, and the flag held while a call runs. */
#define MSG_CREATED 0
#define MSG_ADDRESSED 1
#define MSG_HEADED 2
#define MSG_TEXTED 3
#define MSG_POSTED 4
#define MSG_BUSY 0x10

/* What the rest of the system fixes about the Pellam service. */
#define PELLAM_SERVICE_NAME "Pellam"
#define PELLAM_SERVICE_DISPLAY_NAME "Pellam (mail-11)"
#define PELLAM_SERVICE_PROGRAM "pellam"
#define PELLAM_QUEUE_FILE_PREFIX "snd"  /* queue files: snd + hex number + ".mai" */
#define PELLAM_QUEUE_FILE_SUFFIX ".mai"
#define PELLAM_PARAMETERS_KEY "Software\\Corwent\\Pellam"
#define PELLAM_ALIAS_KEY "Software\\Corwent\\Pellam\\Alias"

/* ---- Library frame ---------------------------------------------------------- */

/* The text of any status code. Returns `buffer` holding the text (ending in CR LF),
 * or, when no text fits, the library's constant last-resort text (never to be
 * written or freed) after storing a NUL in a usable buffer. Inserts %1 to %3 are
 * filled from `arguments` only for codes of facilities 0x100 and 0x101. */
PELLAM_API const char* GetErrorText(uint32_t code, char* buffer, uint32_t size,
                                    const char* const* arguments);

PELLAM_API void* AllocMem(uint32_t size);
PELLAM_API void* AllocZeroMem(uint32_t size);
PELLAM_API void* ReallocMem(void* block, uint32_t size);
/* Null on success, the block itself on failure. */
PELLAM_API void* FreeMem(void* block);
/* Always 0xFFFFFFFF; checks nothing. */
PELLAM_API uint32_t CheckMem(void);

/* Makes the catalogue the text source of the service's event-log entries. `module`
 * is a handle from dlopen, or null for this library itself. */
PELLAM_API uint32_t RegisterEventMessages(void* module);

/* ---- System profile --------------------------------------------------------- */

PELLAM_API uint32_t GetSystemProfile(MailSystemProfile* profile);
PELLAM_API uint32_t MakeSystemProfile(MailSystemProfile* profile);
PELLAM_API uint32_t GetMailSystemProfile(MailSystemProfile* profile, uint32_t size);
PELLAM_API uint32_t UpdateMailSystemProfile(MailSystemProfile* profile, uint32_t size);

/* ---- User profiles ---------------------------------------------------------- */

/* calling_user nonzero: the calling user; 0: the user named in AccountName. */
PELLAM_API uint32_t GetUserProfile(MailProfile* profile, uint32_t calling_user);
PELLAM_API uint32_t MakeUserProfile(MailProfile* profile);
PELLAM_API uint32_t GetMailProfile(MailProfile* profile, uint32_t size);
PELLAM_API uint32_t UpdateMailProfile(MailProfile* profile, uint32_t size);

/* ---- Aliases ---------------------------------------------------------------- */

/* Address lists cross the boundary as NUL-terminated strings ended by an empty one. */
PELLAM_API uint32_t GetAlias(const char* name, char** translation, uint32_t scope);
PELLAM_API uint32_t SetAlias(const char* name, const char* translation, uint32_t scope);
PELLAM_API uint32_t ListAllAliases(char** names, uint32_t scope);
PELLAM_API uint32_t FreeAliasBuff(char* buffer);
PELLAM_API uint32_t PrepareAliasAddressList(const char* text, char** list);

/* ---- Address syntax --------------------------------------------------------- */

PELLAM_API uint32_t ScanAddr(const char* text, const char** start, const char** end,
                             const char** next, int32_t no_tail);
PELLAM_API uint32_t ParseAddr(const char* text, int32_t length, int32_t* node_offset,
                              int32_t* node_length, int32_t* user_offset, int32_t* user_length,
                              int32_t* form);
PELLAM_API const char* ScanParentheses(const char* text);
PELLAM_API uint32_t CheckRemote(const char* text, int32_t length, const char** rest,
                                int32_t* rest_length, const char* local_node, int32_t* kind);
PELLAM_API uint32_t CheckPNameIn(const char* name);
PELLAM_API uint32_t CheckPNameOut(char* name);
PELLAM_API uint32_t TrimAddress(const char* text, int32_t maximum_length, const char** start,
                                int32_t* length);

/* ---- Message file format ---------------------------------------------------- */

PELLAM_API uint32_t CollectHeaders(const char* data, uint32_t length, int32_t count,
                                   const char* const* names, char** values, int32_t* current,
                                   const char** stop);
PELLAM_API uint32_t GetMailHeaders(const char** text, int32_t* length, int32_t count,
                                   const char* const* names, char** values);
PELLAM_API uint32_t FreeMailHeaders(int32_t count, char** values);
PELLAM_API uint32_t ExtractReceiveDate(const char* value, MailDate* date);

/* ---- Composition and posting ------------------------------------------------ */

/* Open files are descriptors; the position used is the descriptor's offset. */
PELLAM_API MailHandle CreateMailMessage(uint32_t options);
PELLAM_API uint32_t AddAddresses(MailHandle message, const char* addresses, int32_t kind);
PELLAM_API uint32_t AddHeaders(MailHandle message, const char* from, const char* to,
                               const char* cc, const char* subject);
PELLAM_API uint32_t AddHeadersFile(MailHandle message, int file, uint32_t count);
PELLAM_API uint32_t AddText(MailHandle message, const char* text, int32_t length);
PELLAM_API uint32_t AddTextFile(MailHandle message, int file, uint32_t count);
PELLAM_API uint32_t PostMailMessage(MailHandle message);
PELLAM_API uint32_t CloseMailMessage(MailHandle message);

/* ---- Delivery and filing ---------------------------------------------------- */

PELLAM_API uint32_t MoveOrCopy(const char* source, const char* base_directory,
                               const char* sub_directory, uint32_t* moved, char* new_name,
                               uint32_t create_directories);
PELLAM_API uint32_t DeliverMail(const char* source, const MailProfile* profile, uint32_t* moved);
PELLAM_API uint32_t MoveMailFile(const char* source, const char* base_directory,
                                 const char* sub_directory, char* new_name,
                                 uint32_t create_directories);
PELLAM_API uint32_t ForwardMail(int file, uint32_t header_length, const MailProfile* chain);

/* ---- One-shot sending ------------------------------------------------------- */

PELLAM_API uint32_t SendMailMessageFromText(const char* text, int32_t length,
                                            const char** error_position);
PELLAM_API uint32_t SendMailMessageFromFile(const char* file_name);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(MailSystemProfile) == 1068, "MailSystemProfile keeps its 1068 bytes");
static_assert(offsetof(MailSystemProfile, SendThreadLimit) == 1040, "four 260-byte strings first");
static_assert(offsetof(MailProfile, AccountName) == sizeof(void*), "Next comes first");
static_assert(offsetof(MailProfile, Selected) == sizeof(void*) + 1040, "then four strings");
static_assert(offsetof(MailProfile, DisableNewMail) == sizeof(void*) + 1048, "then three words");
static_assert(sizeof(MailDate) == 16, "eight 16-bit fields");
#endif

#endif /* PELLAM_H */
