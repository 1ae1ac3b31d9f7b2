#!/usr/bin/env bash
# Checks the Windows bundle: the MSI's properties, then installs it into a fresh Wine prefix,
# looks at what arrived (files, Start-menu shortcut, Add/Remove Programs entry), runs the
# installed trelvo-cli.exe, upgrades it with a newer build of the same installer, uninstalls and
# looks that nothing is left; and the portable .zip, unpacked and run from a folder of its own.
# Usage: check_msi.sh MSI ZIP STAGE VERSION WINE_RUN PREFIX MSIINFO WIXL WXS OBJDUMP
set -euo pipefail
msi=$1 zip=$2 stage=$3 version=$4 wine_run=$5 prefix=$6 msiinfo=$7 wixl=$8 wxs=$9 objdump=${10}

skip() { echo "$* : not checked" >&2; exit 77; }
command -v wine >/dev/null || skip "wine not found"
[ -n "$wixl" ] || skip "wixl not found, so the build made no MSI"
[ -n "$msiinfo" ] || skip "msiinfo (msitools) not found"
command -v unzip >/dev/null || skip "unzip not found"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
[ -f "$msi" ] || { echo "FAIL: no $msi" >&2; exit 1; }
[ -f "$zip" ] || { echo "FAIL: no $zip" >&2; exit 1; }

tmp=$(mktemp -d)
export WINEPREFIX=$prefix WINEDEBUG=-all
# Wine mirrors Start-menu shortcuts as desktop entries, menus and icons of the host: into a
# folder of the check's own, not the user's home. (The prefix is told not to, as well.)
export XDG_DATA_HOME=$tmp/xdg-data XDG_CONFIG_HOME=$tmp/xdg-config
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$tmp"
  rm -f "$(dirname "$wxs")/newer-check-$$.wxs"
}
trap cleanup EXIT
# Windows programs see the host's files on drive Z:.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# Wine turns "\n" into "\r\n" on the console.
wrun() { "$wine_run" --prefix "$prefix" "$@" | tr -d '\r'; }

files=(LICENCE.txt README.txt trelvo-cli.exe trelvo.exe)

# The bundled programs carry no debug information.
for exe in trelvo.exe trelvo-cli.exe; do
  sections=$("$objdump" -h "$stage/$exe")
  if grep -q '\.debug_' <<<"$sections"; then
    fail "the bundled $exe is not stripped"
  fi
done
grep -q $'\r$' "$stage/LICENCE.txt" || fail "LICENCE.txt has no Windows line ends"

# --- What the installer says about itself ------------------------------------------------------
props=$("$msiinfo" export "$msi" Property | tr -d '\r')
prop() { awk -F'\t' -v k="$1" '$1 == k { print $2 }' <<<"$props"; }
[ "$(prop ProductName)" = Trelvo ] || fail "ProductName is '$(prop ProductName)'"
[ "$(prop ProductVersion)" = "$version" ] || fail "ProductVersion is '$(prop ProductVersion)'"
[ "$(prop Manufacturer)" = "Trelvo maintainers" ] || fail "Manufacturer is '$(prop Manufacturer)'"
[ "$(prop ARPPRODUCTICON)" = trelvo.ico ] || fail "ARPPRODUCTICON is '$(prop ARPPRODUCTICON)'"
[ "$(prop ALLUSERS)" = 1 ] || fail "not a per-machine package (ALLUSERS '$(prop ALLUSERS)')"
product_code=$(prop ProductCode)
upgrade_code=$(prop UpgradeCode)
[[ $product_code =~ ^\{[0-9A-F-]{36}\}$ ]] || fail "ProductCode '$product_code'"
[[ $upgrade_code =~ ^\{[0-9A-F-]{36}\}$ ]] || fail "UpgradeCode '$upgrade_code'"
table() { "$msiinfo" export "$msi" "$1" | tr -d '\r'; }
grep -q '^trelvo\.ico' <<<"$(table Icon)" || fail "no icon trelvo.ico in the MSI"
grep -qF "$upgrade_code" <<<"$(table Upgrade)" || fail "the MSI does not look for other versions of itself"
grep -q $'^TrelvoStartMenu\tProgramMenuFolder\tTrelvo\t' <<<"$(table Shortcut)" ||
  fail "no shortcut Trelvo in the Start menu's Programs"
grep -q '^Template: x64;' <<<"$("$msiinfo" suminfo "$msi")" || fail "the MSI is not an x64 package"

# --- Install ----------------------------------------------------------------------------------
rm -rf "$prefix" "$prefix.lock"
cd "$tmp"
wrun cmd /c exit 0 >/dev/null 2>&1 || true  # creates the prefix
wrun reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f >/dev/null 2>&1
wineserver -w

drive_c=$prefix/drive_c
installed=$drive_c/Program\ Files/Trelvo
# A per-machine shortcut belongs in the common Start menu. Wine 8's installer resolves
# ProgramMenuFolder to the user's Start menu even for a per-machine package, so there it counts.
common_shortcut=$drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Trelvo.lnk
user_shortcut=$drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Trelvo.lnk
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code"

install() {  # MSI
  wrun msiexec /i "$(winpath "$1")" /qn || fail "msiexec /i ${1##*/} exits with $?"
  wineserver -w
}
uninstall() {  # MSI
  wrun msiexec /x "$(winpath "$1")" /qn || fail "msiexec /x ${1##*/} exits with $?"
  wineserver -w
}
is_icon() { [ -f "$1" ] && [ "$(od -An -tx1 -N4 "$1" | tr -d ' \n')" = 00000100 ]; }
arp_entries() { wrun uninstaller --list | grep -F '|||Trelvo' || true; }
reg_key() { wrun reg query "$1" 2>/dev/null || true; }  # KEY: its values as reg lists them
reg_value() {  # LISTING NAME: the value's data, empty if there is none
  awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^  /, ""); print }' <<<"$1"
}
# The installer's own key for a product: its code with each group's hex digits reversed.
packed() {
  local g=${1//[\{\}-]/} out="" i
  for i in 0:8 8:4 12:4; do
    out+=$(rev <<<"${g:${i%:*}:${i#*:}}")
  done
  for ((i = 16; i < 32; i += 2)); do out+=${g:i+1:1}${g:i:1}; done
  printf '%s' "$out"
}
check_installed() {  # VERSION PRODUCT_CODE
  local v=$1 code=$2 key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$2"
  if [ ! -d "$installed" ]; then
    fail "nothing in C:\\Program Files\\Trelvo"
  else
    [ "$(cd "$installed" && ls | sort | tr '\n' ' ')" = "${files[*]} " ] ||
      fail "C:\\Program Files\\Trelvo holds: $(cd "$installed" && ls | tr '\n' ' ')"
    for f in "${files[@]}"; do
      cmp -s "$stage/$f" "$installed/$f" || fail "installed $f differs from the bundled one"
    done
  fi
  local shortcut=$common_shortcut
  if [ ! -f "$shortcut" ] && [ -f "$user_shortcut" ]; then
    echo "note: the shortcut is in the user's Start menu, not the common one" >&2
    shortcut=$user_shortcut
  fi
  if [ ! -f "$shortcut" ]; then
    fail "no Start-menu shortcut Trelvo.lnk"
  else
    # The shortcut names the installed trelvo.exe (as text in its link data).
    grep -aqiF 'Program Files\Trelvo\trelvo.exe' "$shortcut" ||
      fail "the shortcut does not start Program Files\\Trelvo\\trelvo.exe"
    # Its icon is the product icon that the installer keeps for it.
    local lnk_icon
    lnk_icon=$(strings -a -el "$shortcut" | grep -oiE '[A-Z]:\\.*\\trelvo\.ico$' || true)
    if [ -z "$lnk_icon" ]; then
      fail "the shortcut has no icon trelvo.ico"
    else
      is_icon "$(wrun winepath -u "$lnk_icon" 2>/dev/null)" || fail "the shortcut's icon $lnk_icon is no icon"
    fi
  fi
  local arp
  arp=$(arp_entries)
  [ "$arp" = "$code|||Trelvo" ] || fail "Add/Remove Programs lists: '$arp'"
  local entry
  entry=$(reg_key "$key")
  [ "$(reg_value "$entry" DisplayName)" = Trelvo ] || fail "DisplayName '$(reg_value "$entry" DisplayName)'"
  [ "$(reg_value "$entry" DisplayVersion)" = "$v" ] ||
    fail "DisplayVersion '$(reg_value "$entry" DisplayVersion)', not $v"
  [ "$(reg_value "$entry" Publisher)" = "Trelvo maintainers" ] ||
    fail "Publisher '$(reg_value "$entry" Publisher)'"
  [ "$(reg_value "$entry" UninstallString)" = "MsiExec.exe /X$code" ] ||
    fail "UninstallString '$(reg_value "$entry" UninstallString)'"
  # Add/Remove Programs shows the icon that the installer registered for the product.
  local icon
  icon=$(reg_value "$(reg_key "HKCR\\Installer\\Products\\$(packed "$code")")" ProductIcon)
  if [ -z "$icon" ]; then
    fail "the product has no icon for Add/Remove Programs"
  else
    is_icon "$(wrun winepath -u "$icon" 2>/dev/null)" || fail "the product icon $icon is no icon"
  fi
}
check_removed() {
  [ ! -e "$installed" ] || fail "left behind: C:\\Program Files\\Trelvo: $(ls -A "$installed" | tr '\n' ' ')"
  [ ! -e "$common_shortcut" ] && [ ! -e "$user_shortcut" ] || fail "left behind: the Start-menu shortcut"
  [ -z "$(arp_entries)" ] || fail "left behind: the Add/Remove entry $(arp_entries)"
  wrun reg query "$uninstall_key" >/dev/null 2>&1 && fail "left behind: the key $uninstall_key"
  wrun reg query "HKCR\\Installer\\Products\\$(packed "$product_code")" >/dev/null 2>&1 &&
    fail "left behind: the product's installer key"
  # Nor anything else of it: no file, no registry entry that names it.
  local left
  left=$(cd "$drive_c" && find . -iname '*trelvo*' -o -iname "*${product_code//[\{\}]/}*")
  [ -z "$left" ] || fail "left behind: $left"
  left=$(grep -liF trelvo "$prefix"/*.reg || true)
  [ -z "$left" ] || fail "the registry still names Trelvo: ${left//$prefix\//}"
  return 0
}

install "$msi"
check_installed "$version" "$product_code"
out=$(cd "$tmp" && wrun "$(winpath "$installed/trelvo-cli.exe")" --version 2>&1) ||
  fail "installed trelvo-cli.exe --version exits with $?"
[ "$out" = "trelvo-cli $version" ] || fail "installed trelvo-cli.exe --version prints '$out'"

uninstall "$msi"
check_removed

# --- Upgrade: a newer build of the same installer replaces the installed version -------------
newer_version=${version%.*}.$((${version##*.} + 1))
newer_code=$(tr '[:lower:]' '[:upper:]' </proc/sys/kernel/random/uuid)
# wixl finds the files relative to the .wxs, so the newer one goes beside it for a moment.
newer_wxs=$(dirname "$wxs")/newer-check-$$.wxs
sed -e "s/Version=\"$version\"/Version=\"$newer_version\"/" \
  -e "s/Product Id=\"${product_code//[\{\}]/}\"/Product Id=\"$newer_code\"/" "$wxs" >"$newer_wxs"
if ! grep -q "Product Id=\"$newer_code\"" "$newer_wxs"; then
  fail "could not derive a newer installer from ${wxs##*/}"
elif ! "$wixl" --arch x64 -o "$tmp/newer.msi" "$newer_wxs"; then
  fail "wixl could not build a newer installer"
else
  install "$msi"
  install "$tmp/newer.msi"
  check_installed "$newer_version" "{$newer_code}"
  # ... and the older one refuses to go over it.
  if wrun msiexec /i "$(winpath "$msi")" /qn >/dev/null 2>&1; then
    fail "the $version installer went over version $newer_version"
  fi
  wineserver -w
  [ "$(arp_entries)" = "{$newer_code}|||Trelvo" ] ||
    fail "after the older installer, Add/Remove Programs lists: '$(arp_entries)'"
  uninstall "$tmp/newer.msi"
  check_removed
fi
rm -f "$newer_wxs"

# --- The portable bundle ------------------------------------------------------------------------
listing=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
[ "$listing" = "$(printf 'Trelvo/%s ' "${files[@]}")" ] || fail "the zip holds: $listing"
portable="$tmp/some folder/unpacked"
mkdir -p "$portable"
unzip -q "$zip" -d "$portable"
for f in "${files[@]}"; do
  cmp -s "$stage/$f" "$portable/Trelvo/$f" || fail "Trelvo/$f in the zip differs from the bundled one"
done
out=$(cd "$portable" && wrun "$(winpath "$portable/Trelvo/trelvo-cli.exe")" --version 2>&1) ||
  fail "unzipped trelvo-cli.exe --version exits with $?"
[ "$out" = "trelvo-cli $version" ] || fail "unzipped trelvo-cli.exe --version prints '$out'"

[ "$failures" -eq 0 ]
