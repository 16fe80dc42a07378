// The test doubles of tests/doubles, built beside the test programs in
// "doubles": the recording program (stand-in for java.exe and 410.exe) and the
// winscard.dll stand-in, with what it takes to place and drive them.
#ifndef TESTS_DOUBLES_H
#define TESTS_DOUBLES_H

#include <string>
#include <vector>

// The directory of the running test program, and its "doubles" subdirectory.
std::string TestProgramDirectory();
std::string DoublePath(const std::string &name);

// Copies the recording program to `path` (e.g. <home>\bin\java.exe); the calls
// then land in <path without .exe>.calls, one "<cwd>\t<command line>" per line.
bool PlaceRecordingProgram(const std::string &path);
// Sets the exit codes of the recording program at `path`, one per call.
bool SetRecordedExitCodes(const std::string &path, const std::string &codes);
// The recorded lines of the recording program at `path`, without line ends.
std::vector<std::string> RecordedCalls(const std::string &path);

// HKEY_CURRENT_USER key through which the winscard.dll stand-in is driven.
extern const char WINSCARD_DOUBLE_KEY[];

// Puts the winscard.dll stand-in into the system directory while it lives and
// brings back what was there before; the driving key is removed at both ends.
class SystemWinscard {
public:
    explicit SystemWinscard(bool place_double);
    ~SystemWinscard();
    SystemWinscard(const SystemWinscard &) = delete;
    SystemWinscard &operator=(const SystemWinscard &) = delete;

    bool placed() const { return placed_; }
    static std::string SystemPath();
    // Removes the driving key: no reader, nothing recorded.
    static void Reset();
    // The exact multi-string the service reports (separators, closing NUL).
    static void SetReaders(const std::string &multi_string);
    static void SetMode(unsigned long mode);
    // Path of the copy that answered the last query; empty when none did.
    static std::string LoadedFrom();

private:
    std::string saved_;
    bool had_original_ = false;
    bool placed_ = false;
};

#endif
