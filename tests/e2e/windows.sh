# windows.sh: the checks of the Windows release under Wine: what the programs import, closing the
# window, the screen saver full screen on one monitor and on two, in the settings dialog's
# preview and for its settings, and the setup, which installs (into Program Files or a folder of
# the user's choice), upgrades and uninstalls, and shows its pages in the display language. The
# desktop, monitors and box checks of x11.sh run on it too.

# windows_release PACKAGE: the zip unpacked as a user would, or the setup, which installs into the
# system, in a fresh copy of a Wine prefix kept beside the package; prog is then velmorade.exe or
# the setup.
windows_release() {
    wine=$(dpkg -L wine64 2>/dev/null | grep '/wine64$' | head -1)
    [ -x "$wine" ] || skip "wine64 is not installed"
    # No menu entries on this system for the shortcuts the setup makes.
    export WINEPREFIX=${WINEPREFIX:-$(dirname "$1")/wine} WINEDEBUG=-all,+msgbox \
        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    # Made once, as it takes a while. Managed=N: without a window manager, Wine's managed
    # windows take seconds to close.
    (
        flock 9
        [ -f "$WINEPREFIX/velmorade-ready" ] && exit 0
        env -u DISPLAY "$wine" wineboot -i &&
            "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f &&
            "$(dirname "$wine")/wineserver64" -w && touch "$WINEPREFIX/velmorade-ready"
    ) 9>"$WINEPREFIX.lock" >"$work/wineboot.log" 2>&1 || fail "no Wine prefix: $(tail -5 "$work/wineboot.log")"
    if [ "${1%.zip}" = "$1" ]; then
        # The setup installs into the prefix: a copy of the check's own.
        cp -a "$WINEPREFIX" "$work/prefix" || fail "cannot copy the Wine prefix"
        export WINEPREFIX=$work/prefix
        prog=$1
    else
        unzip -q "$1" -d "$work/release" || fail "cannot unpack $1"
        prog=$(echo "$work"/release/*/velmorade.exe)
        [ -f "$prog" ] || fail "no velmorade.exe in $1"
        # The preview host, built beside the release for the tests, goes beside the saver.
        cp "$(dirname "$1")/preview_host.exe" "$(dirname "$prog")/" || fail "no preview_host.exe beside $1"
    fi
}

# signed_by FILE ROOTS: FILE carries an Authenticode signature with SHA-256 and an RFC 3161
# timestamp that verifies against ROOTS (the release check uses it too).
signed_by() {
    osslsigncode verify -CAfile "$2" -TSA-CAfile "$2" -in "$1" >"$work/verify.log" 2>&1 &&
        grep -q 'Message digest algorithm *: SHA256' "$work/verify.log" &&
        grep -q 'Timestamp Server Signature verification: ok' "$work/verify.log"
}

# scr_plays PROGRAM [MONITOR...]: the saver's /s: every monitor ("W H X Y"; by default one, the
# whole 1280 x 720 screen) shows frames of its own size that move; a key ends it with status 0.
scr_plays() {
    local scr=$1
    shift
    [ $# -gt 0 ] || set -- "1280 720 0 0"
    start "$scr" -- /s
    wait_for 30 have_window Velmorade || fail "no window captioned Velmorade"
    monitors_play "$@"
    xdotool key a
    expect_exit 0
}

check_imports() {
    # A program without a console that needs nothing beyond Windows' own DLLs and SDL.dll.
    local f others
    x86_64-w64-mingw32-objdump -p "$prog" | grep -q 'Subsystem.*(Windows GUI)' || fail "not a Windows GUI program"
    for f in "$prog" "$(dirname "$prog")/SDL.dll"; do
        others=$(x86_64-w64-mingw32-objdump -p "$f" | awk '/DLL Name:/ { print $3 }' |
            grep -viE '^(SDL|kernel32|user32|gdi32|advapi32|msvcrt|winmm)\.dll$')
        [ -z "$others" ] || fail "$(basename "$f") needs $others"
    done
}

check_close() {
    # Closing the window, as a window manager's close button asks, ends it with status 1.
    start_x 800x600x24
    start_app
    await_frame "the screen" shows_frame 800 600 -root
    "$tools/e2e_tool" close "$(window_named Velmorade)"
    expect_exit 1
}

check_scr_full_screen() {
    # The saver as Windows starts it when the screen blanks.
    start_x 1280x720x24
    scr_plays "${prog%.exe}.scr"
}

check_scr_monitors() {
    # On two monitors the saver covers both, each with frames of its own size around its own
    # middle, from one window, and one key ends it on both.
    start_layout outputs
    scr_plays "${prog%.exe}.scr" "${MONITORS[@]}"
}

check_scr_preview() {
    # /p HWND: the saver draws into the settings dialog's window, here the test host's 320x240
    # one, and ends once that window is closed: the host returns the saver's status.
    local host_window
    start_x 800x600x24
    start "$(dirname "$prog")/preview_host.exe" -- velmorade.scr
    wait_for 30 have_window "Velmorade preview host" || fail "no preview host window"
    host_window=$(window_named "Velmorade preview host")
    await_frame "the preview" shows_frame 320 240 -id "$host_window"
    [ "$(window_named "Velmorade preview host")" = "$host_window" ] || fail "the saver renamed the host's window"
    "$tools/e2e_tool" close "$host_window"
    expect_exit 0
}

check_scr_settings() {
    # /c and no argument: a box says there is nothing to set. A bad command line ends with
    # status 1 and shows nothing.
    local scr=${prog%.exe}.scr args
    start_x 800x600x24
    xdotool mousemove 0 0
    for args in /c ""; do
        start "$scr" -- $args
        wait_for 20 grep -q 'MSGBOX_OnInit L"Velmorade has nothing to set."' "$work/err" || fail "no box for '$args'"
        # Wine traces the box before it has mapped and named its window.
        wait_for 10 have_window Velmorade || fail "the box is not titled Velmorade"
        # Return answers the box once it has the keyboard.
        answered() { xdotool key Return; sleep 0.2; app_gone; }
        wait_for 10 answered || fail "the box does not take Return"
        expect_exit 0
    done
    for args in /p "/p 12345" /x; do
        start "$scr" -- $args
        expect_exit 1
        ! have_window Velmorade || fail "a window for '$args'"
    done
    # In Windows' display language, which Wine takes from the locale; English for one it lacks
    # (Swedish, and Portuguese of Portugal beside Brazil's).
    local said
    for said in "de_DE.UTF-8 Bei Velmorade gibt es nichts einzustellen." \
        'ja_JP.UTF-8 Velmorade \306b\306f\8a2d\5b9a\3059\308b\9805\76ee\304c\3042\308a\307e\305b\3093\3002' \
        "sv_SE.UTF-8 Velmorade has nothing to set." "pt_PT.UTF-8 Velmorade has nothing to set."; do
        wine_end
        start "$scr" LC_ALL="${said%% *}" -- /c
        wait_for 30 grep -qF "MSGBOX_OnInit L\"${said#* }\"" "$work/err" ||
            fail "${said%% *}: the box holds $(grep -o 'MSGBOX_OnInit.*' "$work/err")"
        wait_for 10 have_window Velmorade || fail "${said%% *}: the box is not titled Velmorade"
        wait_for 10 answered || fail "${said%% *}: the box does not take Return"
        expect_exit 0
    done
}

check_setup() {
    # The setup in a fresh prefix, silently as administrators deploy it, twice, the second time
    # over an older install; the program from its Start-menu entry; the saver as Windows runs it
    # from the system folder; then the uninstaller, which must leave nothing of it behind and
    # everything else as it was.
    local c=$WINEPREFIX/drive_c version entry value f target left
    local folder="$c/Program Files/Velmorade" link="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Velmorade.lnk"
    local apps='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmorade'
    start_x 1280x720x24
    version=${prog##*/velmorade-}
    version=${version%-win64-setup.exe}
    echo "another saver" >"$c/windows/system32/other.scr"
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE /d 'C:\windows\system32\other.scr' /f >/dev/null
    start_app -- /S
    expect_exit 0 60
    for f in velmorade.exe SDL.dll README.txt LICENSE.txt LICENSE-SDL.txt uninstall.exe; do
        [ -f "$folder/$f" ] || fail "no $f in Program Files"
    done
    [ -f "$c/windows/system32/velmorade.scr" ] || fail "no velmorade.scr in the system folder"
    ! ls "$c"/windows/system32/SDL* "$c"/windows/syswow64/SDL* 2>/dev/null || fail "SDL in the system folder"
    [ -f "$link" ] || fail "no Start-menu entry"
    # A signed setup (E2E_CODESIGN_ROOTS, the roots its signatures verify against) installs signed
    # programs and writes a signed uninstaller.
    if [ -n "${E2E_CODESIGN_ROOTS:-}" ]; then
        for f in "$folder/velmorade.exe" "$folder/uninstall.exe" "$c/windows/system32/velmorade.scr"; do
            signed_by "$f" "$E2E_CODESIGN_ROOTS" || fail "the installed ${f##*/} is not signed: $(tail -5 "$work/verify.log")"
        done
    fi
    entry=$("$wine" reg query "$apps" 2>/dev/null)
    for value in DisplayName DisplayVersion Publisher DisplayIcon UninstallString EstimatedSize; do
        grep -q "^ *$value " <<<"$entry" || fail "the Apps entry has no $value"
    done
    "$wine" reg add "$apps" /v DisplayVersion /d 0.9.0 /f >/dev/null
    start_app -- /S
    expect_exit 0 60
    "$wine" reg query "$apps" /v DisplayVersion | grep -q "REG_SZ *$version" || fail "the upgrade left another version"

    target=$(strings "$link" | grep -m1 '^[A-Z]:\\.*\.exe$')
    [ "$target" = 'C:\Program Files\Velmorade\velmorade.exe' ] || fail "the Start-menu entry starts $target"
    start "$target"
    desktop_plays 1280 720
    scr_plays 'C:\windows\system32\velmorade.scr'

    # The uninstaller goes on in a copy of itself: the prefix's processes all end with it.
    start 'C:\Program Files\Velmorade\uninstall.exe' -- /S
    expect_exit 0 60
    timeout 60 "$(dirname "$wine")/wineserver64" -w || fail "the uninstaller did not finish"
    left=$(cd "$c" && ls -d "Program Files/Velmorade" windows/system32/velmorade.scr "${link#"$c"/}" 2>/dev/null)
    [ -z "$left" ] || fail "the uninstaller left $left"
    ! "$wine" reg query "$apps" >/dev/null 2>&1 || fail "the uninstaller left the Apps entry"
    [ -f "$c/windows/system32/other.scr" ] || fail "the uninstaller removed another saver"
    "$wine" reg query 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE | grep -qF 'other.scr' ||
        fail "the uninstaller changed the user's choice of saver"
}

# page_text WINDOW LANGUAGE: what tesseract reads on a setup page, in LANGUAGE (deu, jpn, eng),
# without spaces or line breaks: the page's right two thirds, where its text is (the dark
# picture on the left leads tesseract astray), three times as large, which reads more surely.
page_text() {
    xwd -silent -id "$1" 2>/dev/null |
        convert xwd:- -resize 300% -colorspace Gray -gravity east -crop 68%x100%+0+0 +repage "$work/read.png" &&
        tesseract "$work/read.png" - -l "$2" 2>/dev/null | tr -d ' \n'
}

check_setup_language() {
    # The setup in Windows' display language, which Wine takes from the locale: its first page
    # holds the warning in German and in Japanese, read back from the screen, and in English
    # for a language it lacks (Swedish).
    local want locale language word window until text
    start_x 1280x720x24
    for want in "de_DE.UTF-8 deu fotosensiblerEpilepsie" "ja_JP.UTF-8 jpn 発作" "sv_SE.UTF-8 eng photosensitiveepilepsy"; do
        read -r locale language word <<<"$want"
        wine_end
        start_app LC_ALL="$locale"
        wait_for 60 have_window '.*Velmorade.*' || fail "$locale: no setup window"
        window=$(window_named '.*Velmorade.*')
        # Each reading takes a second or more: bounded by time, not by tries.
        until=$((SECONDS + 60))
        until text=$(page_text "$window" "$language") && grep -qF "$word" <<<"$text"; do
            [ "$SECONDS" -lt "$until" ] || fail "$locale: the first page does not read \"$word\": ${text:0:300}"
            sleep 0.5
        done
        kill "$app" 2>/dev/null
        wine_end
        wait "$app" 2>/dev/null
        app=
    done
}

check_setup_folder() {
    # The silent install into a folder of the user's choice, as winget asks for it (/S /D=FOLDER):
    # the files go there and nowhere else, Apps records it, the saver in the system folder loads
    # SDL.dll from it; the uninstaller takes it all away again.
    local c=$WINEPREFIX/drive_c apps='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmorade' f
    local folder=$c/Apps/Velmorade
    start_x 1280x720x24
    start_app -- /S '/D=C:\Apps\Velmorade'
    expect_exit 0 60
    for f in velmorade.exe SDL.dll README.txt uninstall.exe; do
        [ -f "$folder/$f" ] || fail "no $f in C:\\Apps\\Velmorade"
    done
    [ ! -e "$c/Program Files/Velmorade" ] || fail "it installed into Program Files too"
    "$wine" reg query "$apps" /v InstallLocation | grep -qF 'C:\Apps\Velmorade' ||
        fail "the Apps entry does not record C:\\Apps\\Velmorade"
    scr_plays 'C:\windows\system32\velmorade.scr'
    start 'C:\Apps\Velmorade\uninstall.exe' -- /S
    expect_exit 0 60
    timeout 60 "$(dirname "$wine")/wineserver64" -w || fail "the uninstaller did not finish"
    [ ! -e "$folder" ] && [ ! -e "$c/windows/system32/velmorade.scr" ] || fail "the uninstaller left Velmorade behind"
}
