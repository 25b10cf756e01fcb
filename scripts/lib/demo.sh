# The demonstration scan of scripts/run --demo: synthetic worm specimens (harmless files that
# carry only the worm's 20-byte patterns) in the Windows and temporary folders, one of them
# running, and the start-up registry values the worm's variants install. Source it; it defines
# functions only. Needs WINEPREFIX set and the Windows programs of a build (lane) built. For the
# i686 build everything goes where a 32-bit worm would have put it on a 64-bit Windows: its
# System32 is the prefix's syswow64, and its HKLM\Software the registry's 32-bit view.

# Where each specimen goes (a path in the prefix), and which synthetic specimen it is.
demo_specimens=(
  'C:\windows\system32\msblast.exe' record01-plain.exe
  'C:\windows\system32\teekids.exe' record08-plain.exe
  'C:\windows\enbiei.exe' record09-plain.exe
  '%TEMP%\index.exe' record03-plain.exe
)
# The running specimen: a harmless program whose entry point carries a worm build's patterns.
demo_running='C:\windows\msblast.exe'

demo_registry_file() {
  cat <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]
"windows auto update"="msblast.exe"
"Microsoft Inet Xp.."="teekids.exe"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]
"windows auto update"="msblast.exe"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Runon]
"Nonton Antivirus   "="mspatch.exe"
REG
}

# The registry view of a lane's programs, as reg.exe names it.
demo_registry_view() {
  if [[ $1 == win32 ]]; then echo /reg:32; else echo /reg:64; fi
}

# The Linux path of a prefix path as the lane's programs see it: %TEMP% expanded, and for the
# i686 programs System32 redirected to syswow64.
demo_unix_path() {
  local path=$1 lane=$2
  if [[ $lane == win32 && ${path,,} == 'c:\windows\system32\'* ]]; then
    path='C:\windows\syswow64\'${path:20}
  fi
  if [[ $path == '%TEMP%'* ]]; then
    local temp
    temp=$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r\n')
    path=$temp${path#'%TEMP%'}
  fi
  winepath -u "$path" 2>/dev/null
}

# Plants everything; $1 is the folder of the built Windows programs, $2 their lane (win32 or
# win64).
demo_plant() {
  local bin=$1 lane=$2 written index file
  written=$(mktemp -d)
  echo "== demo: planting synthetic worm specimens"
  for ((index = 0; index < ${#demo_specimens[@]}; index += 2)); do
    wine "$bin/vandrel-specimens.exe" "$(winepath -w "$written")" "${demo_specimens[index + 1]}" \
      >/dev/null 2>&1
    cp "$written/${demo_specimens[index + 1]}" "$(demo_unix_path "${demo_specimens[index]}" "$lane")"
    echo "   ${demo_specimens[index]} (${demo_specimens[index + 1]})"
  done
  rm -rf "$written"

  cp "$bin/runnable-specimen.exe" "$(demo_unix_path "$demo_running" "$lane")"
  # start returns once the process exists, so it is running when the scan looks.
  wine start /b "$demo_running" >/dev/null 2>&1
  echo "   $demo_running (running)"

  echo "== demo: planting the worm's start-up registry values"
  file=$(mktemp --suffix=.reg)
  demo_registry_file >"$file"
  wine reg import "$(winepath -w "$file")" "$(demo_registry_view "$lane")" >/dev/null 2>&1
  rm -f "$file"
}

# Shows what is left of the plant after the run; $1 is the lane.
demo_report() {
  local lane=$1 index left=0 key
  echo "== demo: what is left after the run"
  for ((index = 0; index < ${#demo_specimens[@]}; index += 2)); do
    if [[ -e $(demo_unix_path "${demo_specimens[index]}" "$lane") ]]; then
      echo "   ${demo_specimens[index]}"
      left=1
    fi
  done
  if [[ -e $(demo_unix_path "$demo_running" "$lane") ]]; then
    echo "   $demo_running"
    left=1
  fi
  for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' \
             'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' \
             'HKLM\Software\Microsoft\Windows\CurrentVersion\Runon'; do
    if wine reg query "$key" "$(demo_registry_view "$lane")" 2>/dev/null | tr -d '\r' | grep -E 'auto update|Inet Xp|Nonton'; then
      left=1
    fi
  done
  if ((left == 0)); then
    echo "   nothing: every specimen, the running one and every value are gone"
  fi
}
