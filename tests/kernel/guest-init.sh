#!/bin/busybox sh
# The guest's first process: load the USB, gadget, HID and 9p modules, mount
# the host's root read-only and the results folder writable, then run the
# bench inside the host's tree. Its exit code lands in the results folder.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
arg() { sed -n "s/.*zarvex\.$1=\([^ ]*\).*/\1/p" /proc/cmdline; }
results=$(arg results)
script=$(arg script)
build=$(arg build)
windows=$(arg windows)
repo=${script%/tests/kernel/*}

while read -r module options; do
  insmod "/modules/$module" $options || echo "guest: insmod $module failed"
done < /modules/order

mkdir -p /host
mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=262144,cache=loose host /host || {
  echo "guest: cannot mount the host's root"; poweroff -f; }
mount -t proc proc /host/proc
mount -t sysfs sysfs /host/sys
mount -t devtmpfs devtmpfs /host/dev
mkdir -p /host/dev/pts /host/dev/shm 2>/dev/null
mount -t devpts devpts /host/dev/pts
mount -t tmpfs tmpfs /host/dev/shm
mount -t configfs configfs /host/sys/kernel/config
# The guest's own /tmp, /run and /var/tmp hide the host's; a clone or build
# that lives there is carried over into them.
n=0
for path in $repo $build $windows; do
  case $path in /tmp/*|/run/*|/var/tmp/*)
    n=$((n + 1)); mkdir -p "/keep/$n"; mount --bind "/host$path" "/keep/$n"
    echo "$path" > "/keep/$n.path" ;;
  esac
done
for dir in /tmp /run /var/tmp; do mount -t tmpfs tmpfs "/host$dir"; done
for kept in /keep/*.path; do
  [ -f "$kept" ] || continue
  path=$(cat "$kept"); mkdir -p "/host$path"; mount --bind "${kept%.path}" "/host$path"
done
mkdir -p "/host$results" 2>/dev/null
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 results "/host$results" || {
  echo "guest: cannot mount the results folder"; poweroff -f; }

chroot /host /bin/sh "$script" "$results"
echo $? > "/host$results/exit-code"
sync
poweroff -f
