#!/usr/bin/env bash
# Checks the terminal's dependency rule: each folder includes, and its CMake target links, only
# the folders below it, and the toolkit-free folders include no Qt header (the console QtCore
# headers only). A new folder must be given its place here before it builds.
#   check_dependencies.sh SOURCE_DIR [QTCORE_INCLUDE_DIR]
set -euo pipefail
root=${1:?usage: check_dependencies.sh SOURCE_DIR [QTCORE_INCLUDE_DIR]}
qtcore=${2:-}
cd "$root/terminal"

# What each folder may use besides itself. "platform" and "sshlib" are the layers outside the
# terminal; "qt" is any Qt module, "qtcore" QtCore only, nothing said means no Qt at all.
declare -A allowed=(
  [core]=""
  [session]="core"
  [persist]="session core platform"
  [reports]="core"
  [remote]="persist session core"
  [app]="remote reports persist session core"
  [console]="app remote reports persist session core qtcore"
  [bindings]="reports session core platform sshlib qt"
  [dialogs]="remote persist session core qt"
  [window]="app dialogs remote reports persist session core qt"
)

failures=0
fail() {
  echo "$1"
  failures=$((failures + 1))
}
may() {  # may FOLDER WHAT
  [ "$1" = "$2" ] && return 0
  local word
  for word in ${allowed[$1]}; do [ "$word" = "$2" ] && return 0; done
  return 1
}

for folder in */; do
  folder=${folder%/}
  [[ -v allowed[$folder] ]] || fail "terminal/$folder: not in the dependency table of $0"
done

for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || { fail "terminal/$folder: in the dependency table but missing"; continue; }
  while IFS= read -r -d '' file; do
    while IFS= read -r line; do
      if [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"terminal/([a-z_]+)/ ]]; then
        used=${BASH_REMATCH[1]}
        may "$folder" "$used" || fail "terminal/$file: includes terminal/$used ($line)"
      elif [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"(platform|sshlib)/ ]]; then
        used=${BASH_REMATCH[1]}
        may "$folder" "$used" || fail "terminal/$file: includes $used ($line)"
      elif [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(Q[A-Za-z0-9_/]*)\> ]]; then
        header=${BASH_REMATCH[1]}
        if may "$folder" qt; then
          :
        elif may "$folder" qtcore; then
          if [ -z "$qtcore" ]; then
            fail "terminal/$file: includes <$header>, and no QtCore folder was given to check it"
          elif [ ! -e "$qtcore/$header" ] && [ ! -e "$qtcore/${header#QtCore/}" ]; then
            fail "terminal/$file: includes <$header>, which is not QtCore"
          fi
        else
          fail "terminal/$file: includes <$header> in a toolkit-free folder"
        fi
      fi
    done < "$file"
  done < <(find "$folder" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)

  # The folder's target links only what its sources may include.
  while IFS= read -r target; do
    used=${target#ostrel_}
    [ "$used" = "$folder" ] && continue
    may "$folder" "$used" || fail "terminal/$folder/CMakeLists.txt: links $target"
  done < <(grep -o 'ostrel_[a-z_]*' "$folder/CMakeLists.txt" | grep -v '^ostrel_warnings$' | sort -u)
  for module in $(grep -o 'Qt6::[A-Za-z]*' "$folder/CMakeLists.txt" | sort -u); do
    may "$folder" qt && continue
    [ "$module" = Qt6::Core ] && may "$folder" qtcore && continue
    fail "terminal/$folder/CMakeLists.txt: links $module"
  done
done

if [ "$failures" -gt 0 ]; then
  echo "check_dependencies: $failures use(s) against the dependency rule (see CONTRIBUTING.md)"
  exit 1
fi
echo "check_dependencies: every folder uses only the folders below it"
