#!/bin/sh
# Shows the Linux library's string fields in a real file manager and takes a screenshot: a
# page in Windows-1251, one in UTF-8 and one whose title holds &laquo; (examples/pages), in
# columns Title, Description, H1 and Length(Title). Not part of the test run; needs (Debian)
#   sh setup/install-packages.sh desktop
# Usage: tests/desktop_check.sh [BUILD_DIR] [SCREENSHOT]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
shot=${2:-$build/desktop_check.png}
plugin=$build/plugin/libpagefields.so
[ -f "$plugin" ] || { echo "no $plugin: build first" >&2; exit 2; }

work=$(mktemp -d)
xvfb_pid=
manager_pid=
finish() {
  # The file manager writes its configuration as it closes: wait for it before removing.
  if [ -n "$manager_pid" ]; then kill "$manager_pid" 2>/dev/null; wait "$manager_pid" 2>/dev/null; fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT INT TERM

mkdir -p "$work/pages" "$work/config"
cp "$here"/examples/pages/*.html "$work/pages/"

display=:$((50 + $$ % 40))
Xvfb "$display" -screen 0 1600x480x24 >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
sleep 2
export DISPLAY="$display"

# A first run writes the file manager's default configuration into our own folder.
doublecmd --config-dir="$work/config" >"$work/first.log" 2>&1 &
manager_pid=$!
sleep 8
kill "$manager_pid"; wait "$manager_pid" 2>/dev/null || true
manager_pid=

# The plugin for .html files, four of its fields as columns, both panels on the pages.
python3 - "$work/config/doublecmd.xml" "$plugin" "$work/pages" <<'PY'
import re, sys
path, plugin, pages = sys.argv[1:]
xml = open(path, encoding="utf-8").read()
entry = ('<WdxPlugin><Name>pagefields</Name><Path>%s</Path>'
         '<DetectString>EXT="HTML"</DetectString></WdxPlugin>' % plugin)
xml = xml.replace("<WdxPlugins>", "<WdxPlugins>" + entry, 1)
columns = re.search(r"(<ColumnsSet[^>]*>\s*<Name>Default</Name>.*?<Columns>)(.*?)(</Columns>)",
                    xml, re.S)
first = re.search(r"<Column>.*?</Column>", columns.group(2), re.S).group(0)
def column(title, field, width):
    c = re.sub(r"<Title>.*?</Title>", "<Title>%s</Title>" % title, first)
    c = re.sub(r"<FuncString>.*?</FuncString>",
               "<FuncString>[Plugin(pagefields).%s{}]</FuncString>" % field, c)
    c = re.sub(r"<Width>.*?</Width>", "<Width>%d</Width>" % width, c)
    return re.sub(r"<Style>\d+</Style>", "<Style>0</Style>", c)
name = re.sub(r"<Width>.*?</Width>", "<Width>120</Width>", first)
new = (name + column("Title", "Title", 190) + column("Description", "Description", 150)
       + column("H1", "H1", 170) + column("Length(Title)", "Length(Title)", 100))
xml = xml[:columns.start(2)] + new + xml[columns.end(2):]
xml = re.sub(r'<Path Filename="[^"]*">[^<]*</Path>', '<Path Filename="">%s/</Path>' % pages, xml)
window = "<Left>0</Left><Top>0</Top><Width>1600</Width><Height>480</Height>"
xml = re.sub(r"(<MainWindow>\s*<Position[^>]*>).*?(<PixelsPerInch>)", r"\g<1>" + window + r"\2",
             xml, count=1, flags=re.S)
xml = xml.replace("<Maximized>True</Maximized>", "<Maximized>False</Maximized>")
open(path, "w", encoding="utf-8").write(xml)
PY

doublecmd --config-dir="$work/config" >"$work/run.log" 2>&1 &
manager_pid=$!
sleep 10
import -window root "$shot"
echo "screenshot: $shot"
