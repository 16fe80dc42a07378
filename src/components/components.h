// Component installers: each works in its own package subdirectory, places its
// files through the file placement operations and reports a component result
// with a message in the caller's buffer (written only when it does not succeed;
// a null buffer means no message is wanted).
#ifndef INSTALATOR_COMPONENTS_H
#define INSTALATOR_COMPONENTS_H

// Component results.
enum {
    RESULT_OK = 0,
    RESULT_ERROR = 1,
    RESULT_ABORTED = 2,
    RESULT_WARNING = 3
};

// Each installer below returns a component result.
int InstallIeComponents(char *message, unsigned int message_size);
int InstallNetscapeComponents(char *message, unsigned int message_size);
int InstallJavaPluginComponents(char *message, unsigned int message_size);
int InstallReaderDriver(int reader_type, char *message, unsigned int message_size);
// 1 when the last InstallReaderDriver started an installer that may still run:
// not waited for (the window), or still running after 30 minutes (unattended,
// where it waits and reports an exit code other than 0 as RESULT_ERROR).
int DriverInstallerMayRun(void);

// Where the Java step places its files inside a home (java_plugin.cpp), and
// the package files of "sun" that go there: ocf1.2.jar, opencard.properties
// and java.policy.
struct JavaTargets {
    const char *library;
    const char *properties;
    const char *policy;
};
extern const JavaTargets JRE_TARGETS;
extern const JavaTargets JDK_TARGETS;

// The Java homes as the Java step finds and judges them: each JRE, then each
// JDK registered under HKLM\SOFTWARE\JavaSoft (keys opened with `access`),
// whose "JavaHome" names a home (REG_EXPAND_SZ expanded), told as
// RUN_EVENT_HOME_FOUND. `trusted` is IsTreeTrusted's word on the home; one
// that others may change is told as RUN_EVENT_HOME_SKIPPED and gets nothing.
// `home` is the quoted home (see QuotedJavaHomeEnd), cut at `home_end`. A
// visit that returns non-zero ends the walk. 0 when neither kind of Java is
// registered.
typedef int (*ServedHomeVisit)(const char *home, int home_end, int trusted,
                               const JavaTargets *targets, int is_jre, void *context);
int VisitServedHomes(unsigned long access, ServedHomeVisit visit, void *context);

// Runs `command` through the command interpreter (command_interpreter.cpp):
// the one that COMSPEC names when that is the full path of a file, else cmd.exe
// of the system directory (also when COMSPEC's cannot be started). It gets the
// command line `"<interpreter>" /d /s /c "<command>"`, so the command runs
// exactly as written, its own quotes included; it runs in the current
// directory, with this process's environment less CLASSPATH,
// JAVA_TOOL_OPTIONS, _JAVA_OPTIONS and JDK_JAVA_OPTIONS, without a console
// window, and is waited for.
// Returns its exit code; -1 when nothing could be started, a command line that
// would not fit its buffer included (a cut command never runs).
int RunCommandInterpreter(const char *command);

// Returns 1 when the leftover "ocf1.2.jar" of the system directory is gone or
// was never there, 0 with a message when it could not be deleted.
int RemovePreviousOcf(char *message, unsigned int message_size);

// Loads `file_name` by its full path in the system directory (system_library.cpp),
// for Windows that refuse LOAD_LIBRARY_SEARCH_SYSTEM32 (Vista, 7 without
// KB2533623). Returns the module (an HMODULE for FreeLibrary), or null when
// it cannot be loaded or the path does not fit.
void *LoadLibraryFromSystemDirectory(const char *file_name);

// Pure text logic of the components (registry_text.cpp), no Win32 call.

// Length of a string value that the registry read into a buffer of `capacity`
// bytes and reported as `stored_size` bytes of type `type`; -1 when the value
// cannot be used as a path: not a string type, size 0, a size that fills the
// whole buffer, or no terminator within the stored size. Extra terminators are
// fine: the text ends at the first one.
int RegistryStringLength(const char *value, unsigned long stored_size, unsigned long capacity,
                         unsigned long type);

// Length of the parent of the first `length` characters of `path`, up to and
// including its last backslash; 0 when there is none. A path that ends with a
// backslash is its own parent.
unsigned long ParentDirectoryLength(const char *path, unsigned long length);

// Pure logic of the Java Plug-in component (java_home_text.cpp).

// The Java home buffer: byte 0 holds a double quote, the "JavaHome" value is
// read from byte 1 with room for JAVA_HOME_VALUE_CAPACITY bytes.
enum { JAVA_HOME_BUFFER_SIZE = 263, JAVA_HOME_VALUE_CAPACITY = 262 };

// Checks the "JavaHome" value read into `home` + 1 (stored size and type as the
// registry reported them) and terminates the quoted home right after its text.
// Returns that cut-back position (1 + the home's length), or -1 when the value
// cannot name a home: see RegistryStringLength, and an empty text.
int QuotedJavaHomeEnd(char *home, unsigned long stored_size, unsigned long type);

// Pure logic of the reader driver component (gemplus_search.cpp).

// 1 when "GEMPLUS", in any mix of cases, stands inside one of the reader names
// of the multi-string `list` (its first `length` characters, every NUL
// separator included), else 0.
int ReaderListHasGemplus(const char *list, unsigned long length);

// Texts that several components report (component_texts.cpp).
extern const char TEXT_USER_ABORT[];
extern const char TEXT_PACKAGE_INCOMPLETE[];

// The copy-error message of the components that place files: the copy result
// as its code and the path that failed (empty when none), as a name of the
// file system (NAME_BEGIN, NAME_END).
void FormatCopyError(char *message, unsigned int message_size, int copy_result,
                     const char *failed_path);

#endif
