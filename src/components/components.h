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

// Returns 1 when the leftover "ocf1.2.jar" of the system directory is gone or
// was never there, 0 with a message when it could not be deleted.
int RemovePreviousOcf(char *message, unsigned int message_size);

#endif
