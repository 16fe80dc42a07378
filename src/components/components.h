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

// Returns 1 when the leftover "ocf1.2.jar" of the system directory is gone or
// was never there, 0 with a message when it could not be deleted.
int RemovePreviousOcf(char *message, unsigned int message_size);

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

// The copy-error message of the components that place files (copy_error_text.cpp):
// the copy result as its code and the path that failed (empty when none).
void FormatCopyError(char *message, unsigned int message_size, int copy_result,
                     const char *failed_path);

#endif
