// The command line: where the program's name ends, and what the switches ask
// for; built for Windows and natively with sanitizers.
#include "shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CommandLine, ArgumentsFollowTheProgramNameAsCommandLineToArgvWEndsIt)
{
    const struct {
        const wchar_t *line;
        int holds;
    } cases[] = {
        {L"", 0}, {L"instalator.exe", 0}, {L"\"C:\\a b\\instalator.exe\" \t ", 0},
        {L"\"C:\\a b\\instalator.exe", 0}, {L"\"C:\\a b\\instalator.exe\" /quiet", 1},
        {L"\"C:\\a b\\instalator.exe\"/quiet", 1},  // the closing quote ends the name
        {L"C:\\a\"b c\"\\instalator.exe", 1},        // unquoted: the first space ends it
        {L"instalator.exe\t-quiet", 1},
        // CreateProcess(path, NULL): the path alone, unquoted.
        {L"c:\\A B\\instalator.exe ", 0}, {L"C:\\a b\\instalator.exe /quiet", 1},
        {L"C:\\a b\\instalator.exe2", 1},
    };
    for (size_t row = 0; row < sizeof cases / sizeof cases[0]; ++row)
        EXPECT_EQ(HoldsArguments(cases[row].line, L"C:\\a b\\instalator.exe"), cases[row].holds)
            << "row " << row;
}

TEST(CommandLine, SwitchesGiveTheChoiceOrTheFirstReason)
{
    const struct {
        std::vector<std::string> arguments;
        int quiet, help, components, reader_row, log_argument;
        std::string reason;
        int uninstall = 0, check = 0;
    } cases[] = {
        {{"/quiet"}, 1, 0, 0, -1, -1, ""},
        {{"-QUIET", "/Components:Drivers,JAVA", "/reader:1", "-LOG:C:\\a b\\x.log"}, 1, 0, 3, 1, 4,
         ""},
        {{"/components:java", "/reader:gempc(twin,tokens)-win8-64BIT"}, 0, 0, 1, 0, -1, ""},
        {{"/reader:GemPC(Twin,Tokens)-Win7/XP/Vista/2000-64bit"}, 0, 0, 0, 1, -1, ""},
        {{"/?"}, 0, 1, 0, -1, -1, ""},
        {{"/bogus"}, 0, 0, 0, -1, -1, "Nieznany przełącznik: /bogus"},
        {{"quiet"}, 0, 0, 0, -1, -1, "Nieznany przełącznik: quiet"},
        {{""}, 0, 0, 0, -1, -1, "Nieznany przełącznik: "},
        {{"/quieter"}, 0, 0, 0, -1, -1, "Nieznany przełącznik: /quieter"},
        {{"/quiet", "-quiet"}, 1, 0, 0, -1, -1, "Przełącznik podany drugi raz: -quiet"},
        {{"/log"}, 0, 0, 0, -1, -1, "Przełącznik bez wartości: /log"},
        {{"/reader:"}, 0, 0, 0, -1, -1, "Przełącznik bez wartości: /reader:"},
        {{"/reader:9"}, 0, 0, 0, -1, -1, "Niezrozumiała wartość przełącznika: /reader:9"},
        {{"/reader:01"}, 0, 0, 0, -1, -1, "Niezrozumiała wartość przełącznika: /reader:01"},
        {{"/components:java,"}, 0, 0, 0, -1, -1,
         "Niezrozumiała wartość przełącznika: /components:java,"},
        {{"/components:ie"}, 0, 0, 0, -1, -1, "Niezrozumiała wartość przełącznika: /components:ie"},
        {{"/quiet:no"}, 0, 0, 0, -1, -1, "Niezrozumiała wartość przełącznika: /quiet:no"},
        {{"/quiet", "/?"}, 1, 1, 0, -1, -1, "Przełącznik /? nie łączy się z innymi: /?"},
        {{"/Uninstall", "/quiet", "/log:x"}, 1, 0, 0, -1, 3, "", 1},
        {{"/uninstall", "/reader:1"}, 0, 0, 0, 1, -1,
         "Przełącznik /uninstall łączy się tylko z /quiet i /log: /reader:1", 1},
        {{"/components:java", "/uninstall"}, 0, 0, 1, -1, -1,
         "Przełącznik /uninstall łączy się tylko z /quiet i /log: /uninstall", 1},
        {{"/CHECK", "/log:x"}, 0, 0, 0, -1, 2, "", 0, 1},
        {{"/check", "/uninstall"}, 0, 0, 0, -1, -1,
         "Przełącznik /check łączy się tylko z /quiet i /log: /uninstall", 1, 1},
        {{"/components:java", "/check"}, 0, 0, 1, -1, -1,
         "Przełącznik /check łączy się tylko z /quiet i /log: /check", 0, 1},
        // After a reason, /quiet and /log: still count: the reason goes to the log.
        {{"/x", "/reader:7", "/quiet", "/log:C:\\x.log"}, 1, 0, 0, -1, 4,
         "Nieznany przełącznik: /x"},
    };
    for (const auto &c : cases) {
        CommandChoice choice;
        StartCommandChoice(&choice);
        for (size_t i = 0; i < c.arguments.size(); ++i)
            ReadCommandArgument(&choice, c.arguments[i].c_str(), (int)i + 1);
        const std::string what = c.arguments[0];
        EXPECT_EQ(choice.quiet, c.quiet) << what;
        EXPECT_EQ(choice.help, c.help) << what;
        EXPECT_EQ(choice.components, c.components) << what;
        EXPECT_EQ(choice.reader_row, c.reader_row) << what;
        EXPECT_EQ(choice.log_argument, c.log_argument) << what;
        EXPECT_EQ(choice.reason, c.reason) << what;
        EXPECT_EQ(choice.uninstall, c.uninstall) << what;
        EXPECT_EQ(choice.check, c.check) << what;
    }
}

} // namespace
