package ocfstandin;

/**
 * Stand-in for the OpenCard Framework library of the sample package: a jar
 * that a Java runtime loads like the real one, with nothing that talks to a
 * card reader.
 */
public final class OcfStandIn {
    public static final String VERSION = "1.2-standin";

    private OcfStandIn() {
    }

    public static void main(String[] args) {
        System.out.println("OCF " + VERSION + " (pakiet przykladowy)");
    }
}
