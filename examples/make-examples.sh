#!/usr/bin/env bash
# Writes the sample installations (one folder per instrument family) next to
# this script: Update.ini, ProgDevice.ini and the firmware files, each offering
# a newer firmware than the simulator preset of the same name holds.
#
#   examples/make-examples.sh [PATH-TO-instrument-image]
#
# Without an argument the tool is looked up in build/sim/. The build target
# `examples` runs this script with the tool it has just built. The output is
# deterministic, so running it again changes nothing.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
image="${1:-$here/../build/sim/instrument-image}"
if [[ ! -x "$image" ]]; then
  echo "make-examples.sh: instrument-image not found at $image (build it first)" >&2
  exit 1
fi

# Configuration files use CR LF line ends, as the installations on the field
# PCs do; the tool reads them either way.
write_crlf() {  # file, then the content on stdin
  sed 's/$/\r/' > "$1"
}

update_ini() {  # folder, baud list
  write_crlf "$1/Update.ini" <<INI
[Update]
Language=1
Version=1.00
Baud=$2
INI
}

# Abort texts: "\r" (backslash, r) is the line break of these files; the
# second line is what the search shows before it probes a boot loader.
texts() {
  cat <<'INI'
StarttextD=Verbinden Sie NAME mit dem PC, schalten Sie es ein und drücken Sie OK.
StarttextE=Connect the NAME to the PC, switch it on and press OK.
AbbruchtextD=Die Programmierung wurde abgebrochen.\rSchalten Sie das Gerät aus und halten Sie beim Einschalten die Taste PRG gedrückt.\rStarten Sie dann mit OK erneut.
AbbruchtextE=Programming was aborted.\rSwitch the meter off and hold the PRG key while switching it on again.\rThen press OK to start again.
INI
}

device_block() {  # number, name, main file, marker, processor type
  cat <<INI
DevStartCmd=1
DeviceNrDef=$1
DeviceNr=$1
DeviceName=$2
ProgFile1=
ProgFile2=$3
ProgFile3=
SWKenn1=
SWKenn2=$4\r\n
SWKenn3=
BootLoadKenn=
FlashErase1=
FlashErase2=0xFC00
FlashErase3=
ProgDefFile=
ProzTyp=$5
INI
}

make_installation() {  # folder, baud list, device number, name, file, marker, processor type, layout, version
  local dir="$here/$1"
  mkdir -p "$dir"
  update_ini "$dir" "$2"
  { device_block "$3" "$4" "$5" "$6" "$7"; echo; texts; } | write_crlf "$dir/ProgDevice.ini"
  "$image" firmware --layout "$8" --version "$9" -o "$dir/$5"
}

make_installation msp430-classic "3,2,4,1,0" 28101 "Meter C1" MC1.TXT @1080 F16C msp430-classic 1.20
"$image" patch -o "$here/msp430-classic/Patch.TXT"
make_installation msp430-5xx "4,3,2,1,0" 61005 "Meter F5" MF5.TXT @5C00 5438 msp430-5xx 2.10
make_installation lab "3,2,4,1,0" 70100 "Lab L1" LABXXX.TXT @5C00 5438 lab 3.10

# The WinCE installation: the application, a library, the start-up program
# (whose presence makes the updater ask the instrument's start-up version with
# A.2100, and which must not come first among the further files) and a data
# file, all copied by the file transfer. The version marker is the key of the
# programs' version resource, without a line end.
wince_block() {
  cat <<INI
DevStartCmd=1
DeviceNrDef=52300
DeviceNr=52300
DeviceName=Meter W1
ProgFile1=
ProgFile2=WINCEAPP.EXE,HELPER.DLL,TARVOSTARTUP.EXE,SETTINGS.DAT
ProgFile3=
SWKenn1=
SWKenn2=FileVersion
SWKenn3=
BootLoadKenn=
FlashErase1=
FlashErase2=
FlashErase3=
ProgDefFile=
ProzTyp=0
INI
}

wince="$here/wince"
mkdir -p "$wince"
update_ini "$wince" "3,2,4,1,0"
{ wince_block; echo; texts; } | write_crlf "$wince/ProgDevice.ini"
cp "$here/msp430-classic/Update.Deu" "$here/msp430-classic/Update.Eng" "$wince/"
"$image" wince --size 40000 --version 4.20 -o "$wince/WINCEAPP.EXE"
"$image" wince --size 9000 --version 4.15 -o "$wince/HELPER.DLL"
"$image" wince --size 6000 --version 1.10 -o "$wince/TARVOSTARTUP.EXE"
"$image" wince --size 4500 -o "$wince/SETTINGS.DAT"
# The EMF instrument's firmware is a binary image; the marker is the version
# record's "EMF-Version" line (sim/emf_image.h). No "@" after the file name:
# the boot loader runs at 115200 bit/s.
make_installation emf "3,2,4,1,0" 40200 "Meter E1" EMF1.BIN EMF-Version 0 emf 1.10
cp "$here/msp430-classic/Update.Deu" "$here/msp430-classic/Update.Eng" "$here/emf/"
# Instruments programmed by the maker's updater library or programming tools
# (the stand-ins are built into the updater's own folder). The marker is the
# start of the firmware file's first data record, with the version right
# behind it, so it carries no line end.
make_tool_installation() {  # folder, baud list, device number, name, file, marker, layout, version
  local dir="$here/$1"
  mkdir -p "$dir"
  update_ini "$dir" "$2"
  { device_block "$3" "$4" "$5" "$6" 0 | sed 's/^\(SWKenn2=.*\)\\r\\n$/\1/; s/^FlashErase2=.*/FlashErase2=/'; echo; texts; } |
    write_crlf "$dir/ProgDevice.ini"
  cp "$here/msp430-classic/Update.Deu" "$here/msp430-classic/Update.Eng" "$dir/"
  "$image" firmware --layout "$7" --version "$8" -o "$dir/$5"
}

make_tool_installation m16 "4,3,2,1,0" 41600 "Meter M16" M16FW.MOT S1138000 m16 1.10
make_tool_installation pic32 "3,4,2,1,0" 53200 "Meter P32" P32FW.HEX :10400000 pic32 2.10

# An instrument whose terminal is updated through its Basic-Loader: the main
# firmware (.mot) offers the version the instrument already has, so the run
# goes on to the second component, the terminal, whose files offer a newer
# version (found by the S-record marker of its version record).
terminal_block() {  # number, name, main file, main marker, terminal file, terminal marker
  cat <<INI
DevStartCmd=1
DeviceNrDef=$1
DeviceNr=$1
DeviceName=$2
ProgFile1=
ProgFile2=$3
ProgFile3=$5
SWKenn1=
SWKenn2=$4
SWKenn3=$6
BootLoadKenn=
FlashErase1=
FlashErase2=
FlashErase3=
ProgDefFile=
ProzTyp=F16C
INI
}

terminal="$here/basic-loader"
mkdir -p "$terminal"
update_ini "$terminal" "3,4,2,1,0"
{ terminal_block 21200 "Meter T3" MT3.MOT S1131080 L3_TermH.A37 S1094000; echo; texts; } \
  | write_crlf "$terminal/ProgDevice.ini"
cp "$here/msp430-classic/Update.Deu" "$here/msp430-classic/Update.Eng" "$terminal/"
"$image" firmware --layout basic-loader --version 2.00 -o "$terminal/MT3.MOT"
"$image" terminal --version 1.30 -o "$terminal/L3_TermH.A37"
"$image" terminal --version 1.30 -o "$terminal/L3_TermL.A37"
