#!/usr/bin/env bash
# The Debian package, as a person installs it: built from the build tree,
# installed with dpkg into a private root (its maintainer scripts run there,
# not on this machine), run from the installed files, removed and purged.
#
#   deb.sh BUILD_DIR SOURCE_DIR SOLUTION_STANDIN PROGRAM_DIR INI_DIR
#
# PROGRAM_DIR and INI_DIR as configured (PASAVEL_INSTALL_PROGRAM_DIR, under
# /usr unless absolute, and PASAVEL_INI_DIR, empty for no shared Velmora.ini).
#
# The package holds what `cmake --install` stages (the programs are built
# already, so nothing is compiled here) with the package settings of
# packaging/CMakeLists.txt. Nothing outside a temporary folder is touched, so
# the test runs as any user and beside other runs.
set -euo pipefail

build=$(realpath "$1")
source=$(realpath "$2")
standin=$(realpath "$3")
program_dir=$4
ini_dir=$5
[[ "$program_dir" == /* ]] || program_dir=/usr/$program_dir

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FALLO: $*" >&2
    exit 1
}

# The package.
DESTDIR=$work/stage cmake --install "$build" --prefix /usr --strip > /dev/null
cpack --config "$build/CPackConfig.cmake" -B "$work/package" \
      -D CPACK_INSTALL_CMAKE_PROJECTS= -D "CPACK_INSTALLED_DIRECTORIES=$work/stage;/" > "$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack no ha generado el paquete"; }
package=$(echo "$work"/package/pasavel_*.deb)
[ -f "$package" ] || fail "no hay paquete .deb en $work/package"

# Debian's own checks: no error and no warning (informational notes may stay).
command -v lintian > /dev/null || fail "falta lintian (scripts/install-deps lo instala)"
lintian --fail-on error,warning "$package" > "$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log" >&2; fail "lintian encuentra errores o avisos en el paquete"; }
! grep -E '^[EW]: ' "$work/lintian.log" >&2 || fail "lintian encuentra errores o avisos en el paquete"

# Every dependency is a Debian package installed here in a version that
# satisfies it: the names are real and the programs below run with them.
depends=$(dpkg-deb --field "$package" Depends)
for library in libqt6widgets6 libxml2; do
    grep -qE "(^|, )$library( |,|\$)" <<< "$depends" || fail "Depends no incluye $library: $depends"
done
IFS=',' read -ra relations <<< "$depends"
for relation in "${relations[@]}"; do
    relation=${relation# }
    name=${relation%% *}
    installed=$(dpkg-query --show --showformat='${Version}\n' "$name" 2>/dev/null | head -1)
    [ -n "$installed" ] || fail "la dependencia $name no es un paquete instalado"
    if [[ "$relation" =~ \(([\<\>=]+)\ ([^\)]+)\) ]]; then
        case ${BASH_REMATCH[1]} in
            '>=') operator=ge ;; '<=') operator=le ;; '=') operator=eq ;; '>>') operator=gt ;; '<<') operator=lt ;;
        esac
        dpkg --compare-versions "$installed" "$operator" "${BASH_REMATCH[2]}" ||
            fail "la dependencia «$relation» no se cumple con la versión instalada $installed"
    fi
done

# Installed into a private root whose dpkg database knows only this package.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
in_root() {
    dpkg --root="$root" --force-script-chrootless --force-not-root --force-depends "$@" > "$work/dpkg.log" 2>&1 ||
        { cat "$work/dpkg.log" >&2; fail "dpkg $*"; }
}
in_root --install "$package"

# One program folder with the data beside the programs; links on the PATH.
program=$root$program_dir
for file in pasavel pasavel-cli pasavel-tablas RAICESMATERIAS.DBF; do
    [ -f "$program/$file" ] || fail "falta $file en la carpeta del programa"
done
for page in "$source"/help/RAICES/*; do
    cmp -s "$page" "$program/RAICES/$(basename "$page")" || fail "falta la página de ayuda RAICES/$(basename "$page")"
done
for link in pasavel pasavel-cli pasavel-tablas; do
    [ "$(readlink -f "$root/usr/bin/$link")" = "$(readlink -f "$program/$link")" ] ||
        fail "usr/bin/$link no lleva a la carpeta del programa"
done
! ldd "$program/pasavel" "$program/pasavel-cli" "$program/pasavel-tablas" | grep -q 'not found' || fail "faltan bibliotecas: $(ldd "$program/pasavel" | grep 'not found')"

# The manual pages, compressed, and what Debian wants of every package.
for page in pasavel pasavel-cli pasavel-tablas; do
    manual=$root/usr/share/man/man1/$page.1.gz
    [ -f "$manual" ] || fail "falta el manual $page(1)"
    gzip -t "$manual" || fail "el manual $page(1) no es un gzip válido"
done
[ -f "$root/usr/share/doc/pasavel/copyright" ] || fail "falta usr/share/doc/pasavel/copyright"
[ "$(zcat "$root/usr/share/doc/pasavel/changelog.Debian.gz" | head -1)" = \
  "pasavel ($(dpkg-deb --field "$package" Version)) unstable; urgency=medium" ] ||
    fail "changelog.Debian.gz no empieza por la entrada de la versión del paquete"

# The menu entry and its icon.
desktop=$root/usr/share/applications/pasavel.desktop
[ -f "$desktop" ] || fail "falta el archivo .desktop"
if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate --no-hints "$desktop" || fail "el archivo .desktop no es válido"
fi
grep -qx 'Exec=pasavel' "$desktop" && grep -qx 'Icon=pasavel' "$desktop" && grep -qx 'Categories=Education;' "$desktop" ||
    fail "el archivo .desktop no abre pasavel con su icono en Educación"
for icon in scalable/apps/pasavel.svg 48x48/apps/pasavel.png 256x256/apps/pasavel.png; do
    [ -f "$root/usr/share/icons/hicolor/$icon" ] || fail "falta el icono hicolor/$icon"
done

# Velmora.ini: the program folder links to a shared file that the package
# made and every user may write; without one, nothing is there to begin with.
if [ -n "$ini_dir" ]; then
    [ "$(readlink "$program/Velmora.ini")" = "$ini_dir/Velmora.ini" ] || fail "Velmora.ini no enlaza con $ini_dir"
    [ "$(stat -c %a "$root$ini_dir/Velmora.ini")" = 666 ] || fail "el Velmora.ini compartido no es de escritura para todos"
else
    [ ! -e "$program/Velmora.ini" ] && [ ! -L "$program/Velmora.ini" ] || fail "sobra Velmora.ini en la carpeta del programa"
fi

# Both directions of the bundled sample, run from the PATH of the installed
# tree: the reference subject table is found beside the resolved program.
"$root/usr/bin/pasavel-cli" --version | grep -qx "pasavel-cli [0-9.]*" || fail "pasavel-cli --version"
mkdir "$work/VTEMP"
cp "$source/data/centro-ejemplo.xml" "$work/centro-ejemplo.xml"
"$root/usr/bin/pasavel-cli" exportar "$work/centro-ejemplo.xml" --vtemp "$work/VTEMP" \
    --niveles "$source/data/niveles-ejemplo.csv" --descartar --marcos 1,2 > "$work/export.log" 2>&1 ||
    { cat "$work/export.log" >&2; fail "la exportación con el programa instalado"; }
[ "$(tail -1 "$work/export.log")" = "Proceso finalizado" ] || fail "la exportación no termina con «Proceso finalizado»"
for table in PERIODOS CURSOST ASIGNOMT PROFT GRUPOST ASIGT DIASHORAST; do
    [ -s "$work/VTEMP/$table.DBF" ] || fail "la exportación no ha escrito $table.DBF"
done
[ -f "$work/centro-ejemplo.xml-copia" ] || fail "falta la copia normalizada"
# The installed pasavel-tablas reads what the export wrote, level 7 included.
"$root/usr/bin/pasavel-tablas" --version | grep -qx "pasavel-tablas [0-9.]*" || fail "pasavel-tablas --version"
"$root/usr/bin/pasavel-tablas" "$work/VTEMP" > "$work/tablas.log" 2>&1 ||
    { cat "$work/tablas.log" >&2; fail "pasavel-tablas no lista la carpeta de trabajo"; }
grep -qE '^ASIGT\.DBF +\| +[1-9][0-9]* \| +[0-9]+ \| nivel 7$' "$work/tablas.log" ||
    { cat "$work/tablas.log" >&2; fail "pasavel-tablas no lista ASIGT como tabla de nivel 7"; }
# Into a file first: a reader that stops early (head) would cut the tool's
# output short, which it reports as a failure.
"$root/usr/bin/pasavel-tablas" "$work/VTEMP/ASIGT.DBF" --csv > "$work/asigt.csv" ||
    fail "pasavel-tablas --csv no lee ASIGT"
head -1 "$work/asigt.csv" | grep -q '^CASIG,.*,X_NIVCONPAGLEG' ||
    fail "pasavel-tablas --csv no empieza por los nombres de los campos de ASIGT"
"$standin" "$work/VTEMP" > /dev/null
"$root/usr/bin/pasavel-cli" importar "$work/centro-ejemplo.xml" --vtemp "$work/VTEMP" > "$work/import.log" 2>&1 ||
    { cat "$work/import.log" >&2; fail "la importación con el programa instalado"; }
grep -q 'HORARIOS_REGULARES' "$work/ResultadoQuelvocentro-ejemplo.xml" || fail "la importación no ha escrito su archivo de salida"

# Removing keeps only the shared Velmora.ini; purging leaves nothing behind.
in_root --remove pasavel
[ ! -e "$program" ] && [ ! -e "$root/usr/bin/pasavel" ] || fail "quedan archivos del programa tras quitar el paquete"
[ -z "$ini_dir" ] || [ -f "$root$ini_dir/Velmora.ini" ] || fail "quitar el paquete ha borrado el Velmora.ini compartido"
in_root --purge pasavel
left=$(cd "$root" && find . -mindepth 1 ! -path ./var ! -path ./var/lib ! -path './var/lib/dpkg' ! -path './var/lib/dpkg/*')
[ -z "$left" ] || fail "quedan archivos tras purgar el paquete: $left"
echo "Paquete $(basename "$package"): instalado, probado y purgado"
