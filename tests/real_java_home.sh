#!/bin/bash
# Fixture of the real-Java test: a Java home whose bin\java.exe is a symbolic
# link to the build machine's Linux java, writable by the user that runs Wine.
# Usage: real_java_home.sh setup|cleanup <home directory> <java> <wine user>
set -eu
action=$1 home=$2 java=$3 wine_user=$4
rm -rf "$home"
if [ "$action" = setup ]; then
    mkdir -p "$home/bin" "$home/lib/ext" "$home/lib/security"
    ln -s "$java" "$home/bin/java.exe"
    if [ "$(id -u)" = 0 ]; then
        chown -R "$wine_user:" "$home"
    fi
fi
