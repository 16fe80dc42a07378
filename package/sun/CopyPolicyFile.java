import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;

/**
 * Puts one per-user file of the OCF package into the user's home directory:
 * the applet policy ".java.policy" or the OCF configuration
 * ".opencard.properties". The installer runs it in the package's "sun"
 * directory, which holds both files, with each Java launcher it finds:
 *
 *     java CopyPolicyFile .java.policy
 *
 * Exit status 0 when the file is in place (an older copy is replaced),
 * non-zero with one line on the error stream otherwise. Built for Java 8 so
 * that old runtimes can run it.
 */
public final class CopyPolicyFile {
    private static final String[] PACKAGE_FILES = {".java.policy", ".opencard.properties"};

    static final int OK = 0;
    static final int BAD_ARGUMENT = 2;
    static final int NO_SOURCE = 3;
    static final int NOT_WRITTEN = 4;

    private CopyPolicyFile() {
    }

    public static void main(String[] args) {
        System.exit(run(args));
    }

    static int run(String[] args) {
        if (args.length != 1) {
            return fail(BAD_ARGUMENT, "podaj jeden plik: .java.policy lub .opencard.properties");
        }
        String name = args[0];
        if (!isPackageFile(name)) {
            return fail(BAD_ARGUMENT, "nieznany plik: " + name);
        }
        Path source = Paths.get(name).toAbsolutePath();
        if (!Files.isRegularFile(source)) {
            return fail(NO_SOURCE, "brak pliku pakietu: " + source);
        }
        String home = System.getProperty("user.home");
        if (home == null || home.isEmpty()) {
            return fail(NOT_WRITTEN, "nieznany katalog domowy uzytkownika");
        }
        Path target = Paths.get(home, name);
        try {
            Files.copy(source, target, StandardCopyOption.REPLACE_EXISTING);
        } catch (IOException | SecurityException | UnsupportedOperationException e) {
            return fail(NOT_WRITTEN, "nie mozna zapisac " + target + ": " + e);
        }
        return OK;
    }

    private static boolean isPackageFile(String name) {
        for (String known : PACKAGE_FILES) {
            if (known.equals(name)) {
                return true;
            }
        }
        return false;
    }

    private static int fail(int status, String reason) {
        System.err.println("CopyPolicyFile: " + reason.replace('\n', ' ').replace('\r', ' '));
        return status;
    }
}
