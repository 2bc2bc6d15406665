#!/bin/sh
# Writes the web front end's access configuration for the three passwords (low, medium,
# high access level) to standard output: updatePasswords.sh <low> <medium> <high>.
if [ $# -ne 3 ]; then
  echo "Usage: updatePasswords.sh <low> <medium> <high>" >&2
  exit 1
fi
xml_text() {
  printf '%s' "$1" | sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g'
}
echo '<?xml version="1.0" encoding="UTF-8"?>'
echo '<config>'
echo "  <password level=\"low\">$(xml_text "$1")</password>"
echo "  <password level=\"medium\">$(xml_text "$2")</password>"
echo "  <password level=\"high\">$(xml_text "$3")</password>"
echo '</config>'
