# The demonstration scan of scripts/run --demo: synthetic worm specimens (harmless files that
# carry only the 20-byte patterns), one of them running, and the start-up registry values the
# worm's variants install. Source it; it defines functions only. Needs WINEPREFIX set.

# Start-up values of the variants, as the worm writes them; data are what the worm would run.
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

# Plants everything; $1 is the folder of the built Windows programs.
demo_plant() {
  local bin=$1 file
  echo "== demo: planting the worm's start-up registry values"
  file=$(mktemp --suffix=.reg)
  demo_registry_file >"$file"
  wine regedit /S "$(winepath -w "$file")" >/dev/null 2>&1
  rm -f "$file"
}

# Shows what is left of the plant after the run.
demo_report() {
  echo "== demo: start-up values left after the run"
  local key
  for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' \
             'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' \
             'HKLM\Software\Microsoft\Windows\CurrentVersion\Runon'; do
    wine reg query "$key" 2>/dev/null | tr -d '\r' | grep -E 'auto update|Inet Xp|Nonton' || true
  done
}
