#!/bin/bash
# Fixture: Unix symbolic links to folders inside the prefix, which Wine 8 shows
# as reparse points (a Windows program under Wine 8 cannot make one, and
# MoveFileA moves a link's target, not the link). Under C:\links:
#   target\kept.txt          what a link leads to
#   link                     -> target: a folder below it is below a link
#   movable\cleanup\link     -> target, inside a real folder that a test can
#   movable\lib\security     -> target  move whole into place during a run
#   jre\lib\ext\linked       -> target, deep inside a Java home
#   wide\lib\Ā\linked       -> target, beside wide\lib\A: the ANSI name of Ā
# Usage: linked_folders.sh setup|cleanup <drive_c directory> <wine user>
set -eu
action=$1 drive_c=$2 wine_user=$3
links="$drive_c/links"
# rm never follows a link: what the links lead to goes only as part of links/.
rm -rf "$links"
if [ "$action" = setup ]; then
    mkdir -p "$links/target" "$links/movable/cleanup" "$links/movable/lib" "$links/jre/lib/ext" \
        "$links/wide/lib/A" "$links/wide/lib/Ā"
    echo kept > "$links/target/kept.txt"
    ln -s "$links/target" "$links/link"
    ln -s "$links/target" "$links/movable/cleanup/link"
    ln -s "$links/target" "$links/movable/lib/security"
    ln -s "$links/target" "$links/jre/lib/ext/linked"
    ln -s "$links/target" "$links/wide/lib/Ā/linked"
    if [ "$(id -u)" = 0 ]; then
        chown -hR "$wine_user:" "$links"
    fi
fi
