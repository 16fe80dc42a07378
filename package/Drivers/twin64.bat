@echo off
rem Driver installer stand-in of the sample package: it installs nothing, only
rem says which driver the real package would install, and closes by itself.
rem INSTALATOR-SAMPLE-STAND-IN: scripts/release.sh refuses to ship this file.
echo Pakiet przykladowy instalatora czytnika kart.
echo W tym miejscu zostalby zainstalowany sterownik czytnika
echo GemPC Twin / GemPC Tokens dla Windows 7, XP, Vista i 2000 (64 bity).
echo Nic nie zostalo zainstalowane. Okno zamknie sie samo.
rem About three seconds, without waiting for a key.
ping -n 4 127.0.0.1 >nul
