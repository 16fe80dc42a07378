// The Java Plug-in component with the package's real CopyPolicyFile class and
// the build machine's real Java: the home's bin\java.exe is a script that
// starts the Linux launcher, which Wine runs from the Windows command line.
#include "components.h"
#include "doubles.h"
#include "fileops.h"
#include "test_files.h"
#include "windows_ui.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

namespace {

// Wine's own conversion of a Windows path to the Unix one.
std::string UnixPath(const std::string &path)
{
    typedef char *(__cdecl * ToUnix)(const WCHAR *);
    ToUnix to_unix = (ToUnix)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                     "wine_get_unix_file_name");
    if (to_unix == nullptr)
        return std::string();
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char *unix_path = to_unix(wide);
    if (unix_path == nullptr)
        return std::string();
    std::string result = unix_path;
    HeapFree(GetProcessHeap(), 0, unix_path);
    return result;
}

// The Java home that the test fixture made in the prefix.
const char REAL_JAVA_HOME[] = "C:\\real java";

TEST(RealJava, CopyPolicyFilePutsBothFilesIntoTheUsersHome)
{
    ScratchDir package;
    ScratchDir user_home;
    PromptAnswerer prompts{CONFLICT_PROMPT_CAPTION};
    const char *const sun_files[] = {"CopyPolicyFile.class", ".java.policy", ".opencard.properties",
                                     "ocf1.2.jar", "opencard.properties", "java.policy",
                                     "ocfpcsc1.dll", "ocfpcsc1_64.dll"};
    std::string built_sun = JoinPath(TestProgramDirectory(), "..\\package\\sun");
    std::string sun = package / "sun";
    ASSERT_TRUE(MakeDirectories(sun));
    for (const char *name : sun_files)
        ASSERT_TRUE(CopyFileA(JoinPath(built_sun, name).c_str(), JoinPath(sun, name).c_str(), FALSE))
            << name;

    std::string home = REAL_JAVA_HOME;
    ASSERT_TRUE(FileExists(home + "\\bin\\java.exe")) << home;
    std::string user_home_unix = UnixPath(user_home.path());
    ASSERT_FALSE(user_home_unix.empty());

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "JavaHome", 0, REG_SZ, (const BYTE *)home.c_str(), (DWORD)home.size() + 1);
    RegCloseKey(key);
    ASSERT_EQ(_putenv(("OCF_TEST_USER_HOME=" + user_home_unix).c_str()), 0);
    // An agent that is not there would stop java; a CLASSPATH without "."
    // would hide the class in "sun" from it.
    ASSERT_EQ(_putenv("JAVA_TOOL_OPTIONS=-javaagent:missing.jar"), 0);
    ASSERT_EQ(_putenv("CLASSPATH=C:\\nowhere"), 0);

    char message[592] = "untouched";
    int result;
    {
        CurrentDirectory inside(package.path());
        result = InstallJavaPluginComponents(message, sizeof message);
    }
    _putenv("JAVA_TOOL_OPTIONS=");
    _putenv("OCF_TEST_USER_HOME=");
    _putenv("CLASSPATH=");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft");
    for (const char *name : {"ocfpcsc1.dll", "ocfpcsc164.dll", "ocfpcsc1_64.dll"})
        DeleteFileA(JoinPath(SystemDirectory(), name).c_str());

    EXPECT_EQ(result, RESULT_OK) << message;
    // Wine does not wait for a Linux process that the command interpreter
    // starts, nor pass its exit status on: wait for its work instead.
    std::string policy = ReadTextFile(JoinPath(sun, ".java.policy"));
    std::string properties = ReadTextFile(JoinPath(sun, ".opencard.properties"));
    WaitUntil([&] {
        return ReadTextFile(user_home / ".java.policy") == policy &&
               ReadTextFile(user_home / ".opencard.properties") == properties;
    }, 90000);
    EXPECT_EQ(ReadTextFile(user_home / ".java.policy"), policy);
    EXPECT_EQ(ReadTextFile(user_home / ".opencard.properties"), properties);
    ExpectAllPromptsAnswered(prompts);
}

} // namespace
