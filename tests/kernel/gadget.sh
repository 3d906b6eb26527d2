#!/bin/sh
# USB HID gadgets on the guest's dummy controllers, through configfs:
#   gadget.sh create   the panel ("ZARVEX - ZX4110", vendor page, report ID 1,
#                      64-byte input and output reports) and a boot keyboard
#   gadget.sh bind|unbind panel|keyboard
set -e
g=/sys/kernel/config/usb_gadget

bytes() {  # hex bytes as binary, with nothing but the shell, in one write:
  # configfs takes each write of report_desc as the whole descriptor
  fmt=""
  for b in "$@"; do fmt="$fmt\\$(printf %03o "0x$b")"; done
  printf "$fmt"
}

gadget() {  # name vid pid product report_length protocol descriptor-bytes...
  d=$g/$1
  [ -d "$d" ] && return 0
  mkdir -p "$d/strings/0x409" "$d/configs/c.1/strings/0x409" "$d/functions/hid.usb0"
  echo "$2" > "$d/idVendor"
  echo "$3" > "$d/idProduct"
  echo Zarvex > "$d/strings/0x409/manufacturer"
  echo "$4" > "$d/strings/0x409/product"
  echo "0001" > "$d/strings/0x409/serialnumber"
  echo 100 > "$d/configs/c.1/MaxPower"
  echo "$6" > "$d/functions/hid.usb0/protocol"
  echo 0 > "$d/functions/hid.usb0/subclass"
  echo "$5" > "$d/functions/hid.usb0/report_length"
  f=$d/functions/hid.usb0
  shift 6
  bytes "$@" > "$f/report_desc"
  ln -s "$f" "$d/configs/c.1/"
}

case $1 in
  create)
    # Vendor page 0xFF00, usage 1, report ID 1: 64 bytes in, 64 bytes out.
    gadget panel 0x1209 0x5a58 "ZARVEX - ZX4110" 65 0 \
      06 00 ff 09 01 a1 01 85 01 09 02 15 00 26 ff 00 75 08 95 40 81 02 09 03 91 02 c0
    gadget keyboard 0x1209 0x5a59 "USB Keyboard" 8 1 \
      05 01 09 06 a1 01 05 07 19 e0 29 e7 15 00 25 01 75 01 95 08 81 02 95 01 75 08 81 01 \
      95 06 75 08 15 00 25 65 05 07 19 00 29 65 81 00 c0
    ;;
  bind)
    udc=dummy_udc.0
    [ "$2" = keyboard ] && udc=dummy_udc.1
    echo "$udc" > "$g/$2/UDC"
    ;;
  unbind)
    echo "" > "$g/$2/UDC"
    ;;
  *) echo "usage: gadget.sh create | bind|unbind panel|keyboard" >&2; exit 2 ;;
esac
