#!/usr/bin/env bash
# The Windows Installer package of one architecture, installed, upgraded and
# removed by Wine's own msiexec. Each scenario runs in a fresh copy of one
# prepared prefix (64-bit for the x64 package, 32-bit for the x86 one):
#   tests/package/package_test.sh x64|x86
# It tests dist/Dress-<version>-<arch>.msi against the libraries in dist/
# that it carries (scripts/build, which ends with scripts/package).
#
# Scenarios: install (files and registry in both views, the registry compared
# with what regsvr32 writes for the same libraries in another prefix, the
# Programs and Features entry); ADDLOCAL of one feature; upgrade from an
# older version and from another build of the same version; repair;
# uninstall; a file type switched on with DocDress is switched off by the
# uninstall, and stays on through upgrades and repairs.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
arch=${1:?usage: package_test.sh x64|x86}
export LC_ALL=C

# Every Wine program of this test starts through dress_wine, with the
# loader that the host's probe chose.
source "$root/scripts/wine-session.sh"
host_runs_x86() { wine_arch_runs x86; }

if [ "$arch" = x86 ] && ! host_runs_x86; then
    echo "SKIP package $arch: this host runs no 32-bit programs"
    exit 77
fi

version=$(sed -n 's/^#define DRESS_VERSION_TEXT "\([0-9.]*\)"$/\1/p' "$root/resources/common/layout.h")
package=$root/dist/Dress-$version-$arch.msi
if [ ! -f "$package" ]; then
    echo "FAIL package $arch: $package is missing (scripts/build or scripts/package makes it)"
    exit 1
fi

clsid_of() { sed -n "s/^#define $1_CLSID_STRING L\"\(.*\)\"/\1/p" "$root/framework/clsids.h"; }
dir_clsid=$(clsid_of DIRDRESS)
doc_clsid=$(clsid_of DOCDRESS)
vol_clsid=$(clsid_of VOLDRESS)
lower() { tr '[:upper:]' '[:lower:]'; }

# Where each architecture's libraries go: the x64 package has both, the x86
# package (in a 32-bit prefix, whose only Program Files is the 32-bit one)
# the x86 ones. Keys this test writes itself go to the view of the
# package's architecture (Wine's "reg" may be the 32-bit one).
if [ "$arch" = x64 ]; then
    export WINEARCH=win64
    native_view=/reg:64
    folders=("x64:Program Files" "x86:Program Files (x86)")
else
    export WINEARCH=win32
    native_view=
    folders=("x86:Program Files")
fi
files=(DirDress.dll DocDress.dll VolDress.dll QLNHELP.chm)

work=$(mktemp -d /tmp/dress-package.XXXXXX)
finish() {
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1; fi
    wine_session_stop
    rm -rf "$work"
}
trap finish EXIT
echo "== package $arch: $(basename "$package"), preparing a $WINEARCH prefix"
wine_session_start
template=$WINE_SESSION_PREFIX
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
python3 "$root/tests/package/wine_registry.py" "$template" > "$work/template.reg"
(cd "$template/drive_c" && find . | sort) > "$work/template.files"

passed=0
failed=0
scenario=""
pass() { echo "PASS $arch $scenario: $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $arch $scenario: $1"; failed=$((failed + 1)); }
# check <description> <command...>: one line, PASS or FAIL.
check() {
    local what=$1; shift
    if "$@"; then pass "$what"; else fail "$what"; return 1; fi
}
# Shows a file's lines under a heading (differences, logs).
show() { echo "  -- $1"; sed 's/^/  | /' | head -n "${2:-60}"; }

# A fresh prefix: hard links to the template's files, but real copies of the
# registry files, which the Wine server rewrites in place.
new_prefix() {
    scenario=$1
    [ -n "${WINEPREFIX:-}" ] && [ "$WINEPREFIX" != "$template" ] && wineserver -k >/dev/null 2>&1
    export WINEPREFIX=$work/$1
    cp -al "$template" "$WINEPREFIX"
    cp --remove-destination "$template"/*.reg "$WINEPREFIX"/
}
# Stops the prefix's server, which writes the registry files, and prints the
# registry lines added since the template (or, with "removed", those gone).
stop_prefix() { wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1; }
registry_changes() { # registry_changes added|removed
    python3 "$root/tests/package/wine_registry.py" "$WINEPREFIX" > "$work/$scenario.reg"
    if [ "$1" = added ]; then comm -13 "$work/template.reg" "$work/$scenario.reg"
    else comm -23 "$work/template.reg" "$work/$scenario.reg"; fi | without_wine_noise
}
# Wine rewrites the display driver's date at every start.
without_wine_noise() {
    grep -v -E '^hklm\\system\\currentcontrolset\\control\\class\\.* :: driverdatedata = ' || true
}
# Keys of the template with no value in them or below them.
empty_in_template() { # empty_in_template <key line>
    ! grep -F -e "$1 :: " -e "$1\\" "$work/template.reg" | grep -q ' :: '
}
# What Windows Installer keeps for itself about an installed product (its
# cached package, component and feature records, the Programs and Features
# entry): not part of what the package installs.
without_bookkeeping() {
    grep -v -E '^hklm\\software\\(wow6432node\\)?(microsoft\\windows\\currentversion\\(installer|uninstall)|classes\\installer)(\\|$| )' \
        | grep -v -E '^hkcu\\software\\microsoft\\installer(\\|$| )' || true
}

# msiexec <args...>: runs Wine's msiexec quietly with a verbose log; on
# failure prints the log and answers false.
msiexec_run() {
    local what=$1; shift
    local log='C:\msiexec.log'
    rm -f "$WINEPREFIX/drive_c/msiexec.log"
    dress_wine msiexec "$@" /qn /l*v "$log" >/dev/null 2>&1
    local status=$?
    if [ $status -ne 0 ]; then
        fail "$what: msiexec $* exited $status"
        tr -d '\r' < "$WINEPREFIX/drive_c/msiexec.log" 2>/dev/null | grep -v '^Property(' | tail -n 80 \
            | show "msiexec log (last lines)" 80
        return 1
    fi
    return 0
}
install() { # install <package> [properties...]
    local msi=$1; shift
    msiexec_run "install $(basename "$msi") $*" /i "$(dress_wine winepath -w "$msi")" "$@"
}
uninstall() { msiexec_run "uninstall $(basename "$1")" /x "$(dress_wine winepath -w "$1")"; }

# The installed files, each identical to the one in dist/ (or, with
# "absent", none of them there).
installed_files_match() {
    local entry part folder file ok=0
    for entry in "${folders[@]}"; do
        part=${entry%%:*}; folder=$WINEPREFIX/drive_c/${entry#*:}/Dress
        for file in "$@"; do
            if ! cmp -s "$root/dist/$part/$file" "$folder/$file"; then
                echo "  $folder/$file: missing or not the one in dist/$part"; ok=1
            fi
        done
        for file in "${files[@]}"; do
            [[ " $* " == *" $file "* ]] && continue
            if [ -e "$folder/$file" ]; then echo "  $folder/$file: installed but not chosen"; ok=1; fi
        done
    done
    return $ok
}

# A file type switched on with DocDress: the ".ext" key names a ProgID whose
# icon and InfoTip handler entries name DocDress's class, as its type switch
# writes them.
infotip_key='{00021500-0000-0000-C000-000000000046}'
switch_on_type() { # switch_on_type <ext> <progid> <clsid>
    dress_wine reg add "HKCR\\$1" /ve /d "$2" /f $native_view >/dev/null 2>&1 &&
    dress_wine reg add "HKCR\\$2\\shellex\\IconHandler" /ve /d "$3" /f $native_view >/dev/null 2>&1 &&
    dress_wine reg add "HKCR\\$2\\shellex\\$infotip_key" /ve /d "$3" /f $native_view >/dev/null 2>&1
}
# The handler entries of a ProgID, from the saved registry of the scenario.
type_handlers() { # type_handlers <progid>
    grep -E "^hklm\\\\software\\\\classes\\\\$(echo "$1" | lower)\\\\shellex\\\\(iconhandler|\\$(echo "$infotip_key" | lower)) :: @ = " \
        "$work/$scenario.reg" | sed 's/.* = "\(.*\)"$/\1/' | sort
}

# --- the registration that regsvr32 writes for the same libraries ----------
# The libraries copied where the package puts them, then registered with
# regsvr32 of their own architecture. Without 32-bit programs on the host
# the x86 libraries cannot register: the comparison then leaves out the
# 32-bit view.
compare_32=yes
if [ "$arch" = x64 ] && ! host_runs_x86; then compare_32=no; fi
new_prefix regsvr32
for entry in "${folders[@]}"; do
    part=${entry%%:*}; folder=${entry#*:}
    [ "$part" = x86 ] && [ $compare_32 = no ] && continue
    mkdir -p "$WINEPREFIX/drive_c/$folder/Dress"
    cp "$root/dist/$part/"{DirDress.dll,DocDress.dll,VolDress.dll,QLNHELP.chm} "$WINEPREFIX/drive_c/$folder/Dress/"
    regsvr32='C:\windows\system32\regsvr32.exe'
    [ "$arch" = x64 ] && [ "$part" = x86 ] && regsvr32='C:\windows\syswow64\regsvr32.exe'
    for dll in DirDress DocDress VolDress; do
        dress_wine "$regsvr32" /s "C:\\$folder\\Dress\\$dll.dll" >/dev/null 2>&1 ||
            fail "regsvr32 $part $dll.dll failed"
    done
done
stop_prefix
registry_changes added > "$work/by-regsvr32"
registry_changes removed > "$work/by-regsvr32.removed"
view_filter() { if [ $compare_32 = yes ]; then cat; else grep -v 'wow6432node' || true; fi; }

# --- install ----------------------------------------------------------------
new_prefix install
if install "$package"; then
    check "files in place, identical to dist/" installed_files_match "${files[@]}"
    check "dress.exe of the package's architecture in its folder, identical to dist/" \
        cmp -s "$root/dist/$arch/dress.exe" "$WINEPREFIX/drive_c/${folders[0]#*:}/Dress/dress.exe"
    dress_wine reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall' /s $native_view 2>/dev/null |
        tr -d '\r' > "$work/arp"
    stop_prefix
    registry_changes added | without_bookkeeping > "$work/by-package"
    registry_changes removed > "$work/by-package.removed"
    [ $compare_32 = no ] && echo "  (32-bit view left out of the comparison: this host runs no 32-bit programs)"
    if diff <(view_filter < "$work/by-package") <(view_filter < "$work/by-regsvr32") > "$work/diff"; then
        pass "registry identical to what regsvr32 writes ($(grep -c ' :: ' "$work/by-package") values)"
    else
        fail "registry differs from what regsvr32 writes ('<' package only, '>' regsvr32 only)"
        show "differences" < "$work/diff"
    fi
    check "nothing removed from the registry" test ! -s "$work/by-package.removed"
    for clsid in "$dir_clsid" "$doc_clsid" "$vol_clsid"; do
        lc=$(echo "$clsid" | lower)
        check "class $clsid in the $([ "$arch" = x64 ] && echo "64-bit and 32-bit views" || echo "registry")" \
            test "$(grep -c "^hklm\\\\software\\\\.*clsid\\\\$lc\\\\inprocserver32 :: @ = " "$work/by-package")" \
                 -eq "${#folders[@]}"
        check "approved-list entry of $clsid" grep -q "shell extensions\\\\approved :: $lc = " "$work/by-package"
    done
    # Programs and Features: one entry, with name, publisher, version, size
    # and help link. Windows Installer computes the size from the costing;
    # Wine's writes 0, so only the value's presence is checked here.
    entry=$(awk -v RS= '/DisplayName +REG_SZ +Quillon Dress/' "$work/arp")
    check "one Programs and Features entry" test "$(grep -c 'DisplayName *REG_SZ *Quillon Dress$' "$work/arp")" -eq 1
    check "entry names publisher, version, size and help link" bash -c '
        grep -q "Publisher *REG_SZ *Quillon$" <<<"$1" && grep -q "DisplayVersion *REG_SZ *$2$" <<<"$1" &&
        grep -q "HelpLink *REG_SZ *C:.*QLNHELP.chm$" <<<"$1" && grep -q "EstimatedSize *REG_DWORD" <<<"$1"' \
        _ "$entry" "$version" || show "entry" <<<"$entry"
fi

# --- ADDLOCAL of one feature -----------------------------------------------
new_prefix addlocal
if install "$package" ADDLOCAL=DirDress; then
    check "ADDLOCAL=DirDress installs DirDress.dll and the help file only" \
        installed_files_match DirDress.dll QLNHELP.chm
    stop_prefix
    dir_lc=$(echo "$dir_clsid" | lower)
    registry_changes added | without_bookkeeping | grep -i -e "$dir_clsid" -e "$doc_clsid" -e "$vol_clsid" \
        > "$work/addlocal.ours"
    if diff "$work/addlocal.ours" <(grep -e "$dir_lc" "$work/by-package") > "$work/diff"; then
        pass "ADDLOCAL=DirDress writes DirDress's keys only"
    else
        fail "ADDLOCAL=DirDress keys differ from DirDress's keys of a full install"
        show "differences ('<' ADDLOCAL, '>' full install)" < "$work/diff"
    fi
fi

# --- upgrade from an older version, and from another build of this one ----
# Each case: (scenario, version of the package installed first). The package
# replaces the installed one; removing that one is part of the upgrade, not
# an uninstall, so the types switched on with DocDress stay on.
for case in "upgrade 0.9.0.0" "rebuild $version"; do
    read -r name installed_version <<<"$case"
    new_prefix "$name"
    if ! "$root/scripts/package" --version "$installed_version" --output "$work/$name-package" "$arch" >/dev/null; then
        fail "scripts/package --version $installed_version failed"
        continue
    fi
    installed=$work/$name-package/Dress-$installed_version-$arch.msi
    if install "$installed" && switch_on_type .dresskept dresskept_file "$doc_clsid" && install "$package"; then
        check "files in place, identical to dist/" installed_files_match "${files[@]}"
        dress_wine reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall' /s $native_view 2>/dev/null |
            tr -d '\r' > "$work/arp"
        entries=$(grep -c 'DisplayName *REG_SZ *Quillon Dress$' "$work/arp")
        check "one Programs and Features entry after the upgrade (found $entries)" test "$entries" -eq 1
        check "the entry shows version $version" grep -q "DisplayVersion *REG_SZ *$version$" "$work/arp"
        stop_prefix
        registry_changes added | without_bookkeeping | grep -v -i 'dresskept' > "$work/$name.ours"
        if diff "$work/$name.ours" "$work/by-package" > "$work/diff"; then
            pass "registry after the upgrade identical to a fresh install's"
        else
            fail "registry after the upgrade differs from a fresh install's"
            show "differences ('<' upgraded, '>' fresh install)" < "$work/diff"
        fi
        check "a type switched on with DocDress stays on through the upgrade" \
            test "$(type_handlers dresskept_file | tr '\n' ' ')" = "$doc_clsid $doc_clsid "
        # The product that replaced the older one is uninstalled like any
        # other: its files go, and the type is switched off.
        if uninstall "$package"; then
            stop_prefix
            registry_changes added > /dev/null
            check "uninstalled afterwards: no file of the package left" installed_files_match
            served=$(type_handlers dresskept_file | grep -c -i -F "$doc_clsid")
            check "uninstalled afterwards: the type switched off ($served entries left)" test "$served" -eq 0
        fi
    fi
done

# --- repair: the installed package installed again ------------------------
# What went missing comes back, and the types switched on with DocDress stay
# on.
new_prefix repair
if install "$package" && switch_on_type .dresskept dresskept_file "$doc_clsid"; then
    rm -f "$WINEPREFIX/drive_c/${folders[0]#*:}/Dress/DocDress.dll"
    dress_wine reg delete "HKCR\\CLSID\\$doc_clsid\\InProcServer32" /f $native_view >/dev/null 2>&1
    if [ -e "$WINEPREFIX/drive_c/${folders[0]#*:}/Dress/DocDress.dll" ]; then
        fail "DocDress.dll could not be removed before the repair"
    elif install "$package"; then
        check "files in place, identical to dist/" installed_files_match "${files[@]}"
        stop_prefix
        registry_changes added | without_bookkeeping | grep -v -i 'dresskept' > "$work/repair.ours"
        if diff "$work/repair.ours" "$work/by-package" > "$work/diff"; then
            pass "registry after the repair identical to a fresh install's"
        else
            fail "registry after the repair differs from a fresh install's"
            show "differences ('<' repaired, '>' fresh install)" < "$work/diff"
        fi
        check "a type switched on with DocDress stays on through the repair" \
            test "$(type_handlers dresskept_file | tr '\n' ' ')" = "$doc_clsid $doc_clsid "
    fi
fi

# --- uninstall ------------------------------------------------------------
new_prefix uninstall
if install "$package"; then
    # What the user made with the pages: a folder's Desktop.ini, a disk's
    # AutoRun.inf and a drive's icon in DriveIcons.
    photos="$WINEPREFIX/drive_c/users/Public/Holiday photos"
    mkdir -p "$photos"
    printf '[.ShellClassInfo]\r\nInfoTip=Summer 2026\r\nIconResource=C:\\Windows\\system32\\shell32.dll,4\r\n' \
        > "$photos/Desktop.ini"
    printf '[autorun]\r\nlabel=Photos\r\n' > "$WINEPREFIX/drive_c/AutoRun.inf"
    cp "$photos/Desktop.ini" "$work/Desktop.ini"
    cp "$WINEPREFIX/drive_c/AutoRun.inf" "$work/AutoRun.inf"
    dress_wine reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\DriveIcons\D\DefaultLabel' \
        /ve /d Photos /f $native_view >/dev/null 2>&1
    if uninstall "$package"; then
        stop_prefix
        remaining=$(registry_changes added | without_bookkeeping | grep -v -i 'driveicons' | grep -v -i 'explorer$')
        if [ -z "$remaining" ]; then pass "no key or value left"
        else fail "keys or values left"; show "left in the registry" <<<"$remaining"; fi
        # Removing its last value, Windows Installer also deletes a key left
        # empty, and its parents left empty (Wine's template has an empty
        # approved list): nothing is lost.
        gone=""
        while IFS= read -r line; do
            [ -z "$line" ] && continue
            if [[ $line != *" :: "* ]] && empty_in_template "$line"; then
                echo "  (an empty key went with the last value in it: $line)"
            else
                gone+="${gone:+$'\n'}$line"
            fi
        done <<<"$(registry_changes removed)"
        if [ -z "$gone" ]; then pass "nothing else removed from the registry (handler lists kept)"
        else fail "removed what was there before"; show "removed" <<<"$gone"; fi
        check "the drive's DriveIcons entry kept" \
            grep -q 'driveicons\\d\\defaultlabel :: @ = "Photos"' "$work/uninstall.reg"
        left=$( (cd "$WINEPREFIX/drive_c" && find . | sort) | comm -13 "$work/template.files" - |
            grep -v -e '^./msiexec.log$' -e '^./users/Public/Holiday photos' -e '^./AutoRun.inf$' \
                    -e '^./windows/temp' -e '^./windows/Installer$')
        if [ -z "$left" ]; then pass "no file left"
        else fail "files left"; show "left on disk" <<<"$left"; fi
        check "the user's Desktop.ini untouched" cmp -s "$work/Desktop.ini" "$photos/Desktop.ini"
        check "the user's AutoRun.inf untouched" cmp -s "$work/AutoRun.inf" "$WINEPREFIX/drive_c/AutoRun.inf"
    fi
fi

# --- a type switched on with DocDress is switched off by the uninstall -----
new_prefix file-types
if install "$package" && switch_on_type .dressdoc dressdoc_file "$doc_clsid" &&
        switch_on_type .dressother dressother_file '{0A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9}'; then
    if uninstall "$package"; then
        stop_prefix
        registry_changes added > /dev/null
        served=$(type_handlers dressdoc_file | grep -c -i -F "$doc_clsid")
        check "no handler entry of the switched-on type names DocDress after the uninstall ($served left)" \
            test "$served" -eq 0
        check "another program's handler entries untouched" \
            test "$(type_handlers dressother_file | tr '\n' ' ')" = \
                 '{0A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9} {0A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9} '
    fi
fi

echo "== package $arch: $passed passed, $failed failed"
[ $failed -eq 0 ]
