#!/bin/sh
# Installs the two Fumara plug-ins of this folder where hosts look for them,
# or removes them again:
#   ./install.sh                      for you: ~/.vst and ~/.lv2
#   sudo ./install.sh --system        for every user: /usr/local/lib/vst and /usr/local/lib/lv2
#   ./install.sh --uninstall          removes what ./install.sh installed (add --system for
#                                     the copy for every user)
# Nothing is changed when a destination cannot be written.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
system=0
uninstall=0
for arg in "$@"; do
  case $arg in
    --system) system=1 ;;
    --uninstall) uninstall=1 ;;
    -h | --help)
      sed -n '2,8s/^# \{0,1\}//p' "$0"
      exit 0
      ;;
    *)
      echo "install.sh: unknown option $arg (see ./install.sh --help)" >&2
      exit 2
      ;;
  esac
done

if [ $system = 1 ]; then
  vst_dir=/usr/local/lib/vst
  lv2_dir=/usr/local/lib/lv2
  again="sudo $0 $*"
else
  if [ -z "${HOME:-}" ]; then
    echo "install.sh: HOME is not set" >&2
    exit 2
  fi
  vst_dir=$HOME/.vst
  lv2_dir=$HOME/.lv2
  again="$0${*:+ $*} (as the owner of $HOME)"
fi
module=$vst_dir/fumara.so
bundle=$lv2_dir/fumara.lv2
# What an installation put there (its files, and the folders it made), so that
# --uninstall removes exactly that.
record=$bundle/.install-record

# True when the folder can be written, or, when it does not exist yet, the
# nearest folder above it that does.
writable() {
  w=$1
  while [ ! -e "$w" ]; do
    w=$(dirname "$w")
  done
  [ -d "$w" ] && [ -w "$w" ] && [ -x "$w" ]
}

refuse_unless_writable() {
  for d in "$@"; do
    if ! writable "$d"; then
      echo "install.sh: cannot write to $d; nothing was changed." >&2
      echo "install.sh: run it with the rights to that folder: $again" >&2
      exit 1
    fi
  done
}

# The folders of a path that do not exist yet, deepest first.
missing_folders() {
  m=$1
  while [ ! -e "$m" ]; do
    echo "folder $m"
    m=$(dirname "$m")
  done
}

install_plugins() {
  if [ ! -f "$here/fumara.so" ] || [ ! -f "$here/fumara.lv2/manifest.ttl" ]; then
    echo "install.sh: fumara.so and fumara.lv2 must be beside install.sh in $here" >&2
    exit 2
  fi
  refuse_unless_writable "$vst_dir" "$lv2_dir" "$bundle"
  made=$(missing_folders "$bundle"; missing_folders "$vst_dir")
  # An earlier installation's record stays part of this one: the folders it made,
  # and its files, which an older version may have had and this one lacks.
  earlier=""
  if [ -f "$record" ]; then
    earlier=$(grep -E '^(file|folder) ' "$record" || true)
  fi
  mkdir -p "$vst_dir" "$bundle"
  printf '%s\n' "$made" | sed -n 's/^folder //p' | while IFS= read -r d; do chmod 0755 "$d"; done

  cp "$here/fumara.so" "$vst_dir/.fumara.so.new"
  chmod 0644 "$vst_dir/.fumara.so.new"
  mv -f "$vst_dir/.fumara.so.new" "$module"
  files="file $module"
  for f in "$here"/fumara.lv2/*; do
    cp "$f" "$bundle/"
    chmod 0644 "$bundle/${f##*/}"
    files="$files
file $bundle/${f##*/}"
  done
  printf '%s\n' "$files" "$earlier" "$made" | sed '/^$/d' | awk '!seen[$0]++' >"$record"
  chmod 0644 "$record"

  echo "Installed the VST 2.x plug-in: $module"
  echo "Installed the LV2 plug-in:     $bundle"
  echo "Let your host scan its plug-ins again to find Fumara."
}

uninstall_plugins() {
  if [ ! -f "$record" ]; then
    if [ -e "$module" ] || [ -e "$bundle" ]; then
      echo "install.sh: $bundle holds no record of an installation by install.sh;" \
        "nothing was removed." >&2
      exit 1
    fi
    echo "Fumara is not installed in $vst_dir and $lv2_dir: nothing to remove."
    return
  fi
  # Every folder a file is removed from, and every folder removed, must be writable.
  folders=$(sed -n 's/^folder //p' "$record")
  parents=$(printf '%s\n' "$folders" | sed -n 's|/[^/]*$||p')
  refuse_unless_writable "$vst_dir" "$bundle" "$lv2_dir"
  set -f
  old_ifs=$IFS
  IFS='
'
  for d in $parents; do
    refuse_unless_writable "$d"
  done
  IFS=$old_ifs
  set +f

  sed -n 's/^file //p' "$record" | while IFS= read -r f; do
    if [ -e "$f" ]; then
      rm -f "$f"
      echo "Removed $f"
    fi
  done
  rm -f "$record"
  # The bundle goes when nothing else is in it, even if it was there before.
  printf '%s\n%s\n' "$bundle" "$folders" | awk '!seen[$0]++' | while IFS= read -r d; do
    if [ -z "$d" ] || [ ! -d "$d" ]; then
      continue
    elif rmdir "$d" 2>/dev/null; then
      echo "Removed the folder $d"
    else
      echo "Kept the folder $d: it holds other files"
    fi
  done
}

if [ $uninstall = 1 ]; then
  uninstall_plugins
else
  install_plugins
fi
