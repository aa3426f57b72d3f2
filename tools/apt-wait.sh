# Sourced by tools/bootstrap.sh: apt-get calls that wait, within a bound and saying so, while
# another package manager (an unattended upgrade, a second bootstrap, someone's apt) holds one of
# apt's or dpkg's locks.
#
# Why not only apt-get's -o DPkg::Lock::Timeout: in Debian 12's apt it waits for dpkg's two locks
# (lock-frontend, lock), but `apt-get update` takes the lists lock and an install that downloads
# takes the archives lock, and those two fail at once while held. So this looks at all four first,
# waits while any is held, and still passes the timeout for a lock taken in between.
#
# Each apt-get call waits at most CLIPHARBOR_APT_LOCK_WAIT seconds (default 600).

apt_lock_wait=${CLIPHARBOR_APT_LOCK_WAIT:-600}
apt_lock_files=(/var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock
                /var/cache/apt/archives/lock)
apt_say() { echo "bootstrap: $*" >&2; }

# Prints "FILE PID" for the first lock file that a process holds (PID 0 or less when that process
# is not visible from here) and succeeds; fails when all are free. It asks with fcntl(F_GETLK),
# the kind of lock apt and dpkg take, without taking it; perl-base is on every Debian system.
apt_lock_holder() {
  perl -MFcntl -e '
    my $flock = "s s x![q] q q i x![q]";   # struct flock: type, whence, start, len, pid
    for my $f (@ARGV) {
      open(my $h, "<", $f) or next;
      my $r = pack($flock, F_WRLCK, 0, 0, 0, 0);
      fcntl($h, F_GETLK, $r) or next;
      my ($type, undef, undef, undef, $pid) = unpack($flock, $r);
      if ($type != F_UNLCK) { print "$f $pid\n"; exit 0 }
    }
    exit 1' "${apt_lock_files[@]}"
}

# "process 1234 (apt-get)" for a holder's pid.
apt_describe_holder() {
  local name
  if [ "$1" -gt 0 ] && name=$(cat "/proc/$1/comm" 2>/dev/null); then
    echo "process $1 ($name)"
  else
    echo "another process"
  fi
}

# Returns once every lock is free; says what it waits for at the start and every 30 s. Fails with
# a message when the locks are still held at DEADLINE (a time in $SECONDS).
apt_wait_for_locks() {
  local deadline=$1 held file pid said=-1
  while held=$(apt_lock_holder); do
    read -r file pid <<<"$held"
    if [ "$SECONDS" -ge "$deadline" ]; then
      apt_say "$file is still held by $(apt_describe_holder "$pid") after ${apt_lock_wait} s of waiting; giving up." \
              "Run this again when that package manager has finished (the wait is CLIPHARBOR_APT_LOCK_WAIT seconds)."
      return 1
    fi
    if [ "$said" -lt 0 ]; then
      apt_say "waiting for $file, held by $(apt_describe_holder "$pid"), for up to $((deadline - SECONDS)) s..."
      said=$SECONDS
    elif [ $((SECONDS - said)) -ge 30 ]; then
      apt_say "still waiting for $file, held by $(apt_describe_holder "$pid"); $((deadline - SECONDS)) s left..."
      said=$SECONDS
    fi
    sleep 1
  done
}

# apt_get LOG ARGS...: apt-get ARGS with its output added to LOG, after waiting for the locks. When
# the wait runs out the caller stops: nothing after it could install anything either.
apt_get() {
  local log=$1; shift
  local deadline=$((SECONDS + apt_lock_wait))
  while :; do
    apt_wait_for_locks "$deadline" || exit 1
    apt-get -o DPkg::Lock::Timeout=$((deadline > SECONDS ? deadline - SECONDS : 0)) "$@" >>"$log" 2>&1 && return 0
    # A failure while a lock is held is another process taking a lock between our look and
    # apt-get's: wait for it again. Any other failure is apt-get's own.
    apt_lock_holder >/dev/null || return 1
  done
}
