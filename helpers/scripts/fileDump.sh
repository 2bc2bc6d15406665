#!/bin/sh
# Publishes the unit's system information for the FTP area: /home/ftp/systeminfo.txt.
image=${ORVIX_ROOT:-}
out="$image/home/ftp/systeminfo.txt"
mkdir -p "$image/home/ftp"
{
  echo "date: $(date '+%Y-%m-%d %H:%M:%S')"
  echo "kernel: $(uname -srm)"
  echo "uptime: $(cut -d' ' -f1 /proc/uptime) s"
  echo "disk:"
  df -k "$image/" | tail -n +2
  echo "unit programs:"
  for program in database regserver master rapqueue remoteio limiters scopegrab dspsim; do
    if pgrep -x "$program" >/dev/null 2>&1; then echo "  $program running"; fi
  done
} > "$out.tmp" && mv "$out.tmp" "$out"
