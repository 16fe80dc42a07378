import java.io.IOException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
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
 * The user's own file is never lost: before the first replacement it is
 * kept beside itself as "<file>.ocf-bak", and a backup made by an earlier run
 * is left as it is, so it holds what the user had before the first
 * installation. Where no backup can be made, the user's file stays.
 *
 * Exit status 0 when the file is in place, non-zero with one line on the
 * error stream otherwise (nothing replaced). Built for Java 8 so that old
 * runtimes can run it.
 */
public final class CopyPolicyFile {
    private static final String[] PACKAGE_FILES = {".java.policy", ".opencard.properties"};
    private static final String BACKUP_SUFFIX = ".ocf-bak";

    static final int OK = 0;
    static final int BAD_ARGUMENT = 2;
    static final int NO_SOURCE = 3;
    static final int NOT_WRITTEN = 4;
    static final int NO_BACKUP = 5;

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
        if (Files.exists(target, LinkOption.NOFOLLOW_LINKS)) {
            String problem = backUp(target, Paths.get(home, name + BACKUP_SUFFIX));
            if (problem != null) {
                return fail(NO_BACKUP, problem);
            }
        }
        try {
            Files.copy(source, target, StandardCopyOption.REPLACE_EXISTING);
        } catch (IOException | SecurityException | UnsupportedOperationException e) {
            return fail(NOT_WRITTEN, "nie mozna zapisac " + target + ": " + e);
        }
        return OK;
    }

    /** Null when the user's file has its backup now; otherwise why not. */
    private static String backUp(Path target, Path backup) {
        if (!Files.isRegularFile(target)) {
            return "nie jest plikiem: " + target;
        }
        if (Files.isRegularFile(backup, LinkOption.NOFOLLOW_LINKS)) {
            return null;
        }
        try {
            Files.copy(target, backup);
            return null;
        } catch (FileAlreadyExistsException e) {
            return "nie mozna zachowac kopii " + backup + ": " + e;
        } catch (IOException | SecurityException | UnsupportedOperationException e) {
            // A backup cut short would pass for the user's file on the next run.
            try {
                Files.deleteIfExists(backup);
            } catch (IOException | SecurityException ignored) {
                // The error below says what went wrong.
            }
            return "nie mozna zachowac kopii " + backup + ": " + e;
        }
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
