#!/bin/bash
# Fixture of the real-Java test: a Java home whose bin\java.exe is a script
# that starts the build machine's Linux java, all of it owned by the user that
# runs Wine. Not a symbolic link: Wine shows a file of another Unix user (root's
# java) as Anonymous's, with full access, and the installer then refuses to run it.
# The test's user home comes in OCF_TEST_USER_HOME: JAVA_TOOL_OPTIONS never reaches java.
# Usage: real_java_home.sh setup|cleanup <home directory> <java> <wine user>
set -eu
action=$1 home=$2 java=$3 wine_user=$4
rm -rf "$home"
if [ "$action" = setup ]; then
    mkdir -p "$home/bin" "$home/lib/ext" "$home/lib/security"
    printf '#!/bin/sh\nexec "%s" ${OCF_TEST_USER_HOME:+"-Duser.home=$OCF_TEST_USER_HOME"} "$@"\n' \
        "$java" > "$home/bin/java.exe"
    chmod 755 "$home/bin/java.exe"
    if [ "$(id -u)" = 0 ]; then
        chown -R "$wine_user:" "$home"
    fi
fi
