#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine and returns its exit code.
#
#   scripts/wine32.sh [--prepare] PROGRAM.exe [ARGS...]
#   scripts/wine32.sh --prepare     (only build the cached prefix)
#   scripts/wine32.sh --help
#
# Where the kernel can execute 32-bit Linux programs, Wine's 32-bit loader is
# run directly. Where it cannot (kernels built without 32-bit support answer
# "Exec format error"), every 32-bit Wine process runs under qemu-i386-static:
#
#   * a small loader tree in the cache holds a copy of Wine's 32-bit loader,
#     with Wine's libraries and data linked beside it. Wine starts child
#     processes (wineboot, services, ...) by executing "wine-preloader" from
#     the loader's own directory; there that name is a shell script that runs
#     the loader under qemu, so children go through qemu too;
#   * the 64-bit wineserver serves the 32-bit clients;
#   * a tiny i386 library, preloaded into every 32-bit process, mends two
#     things qemu 7.2 gets wrong for Wine: it treats MAP_FIXED_NOREPLACE as a
#     plain address hint, which makes Wine's start-up probe the address space
#     in tens of thousands of calls (about a minute per process; with the fix
#     a second or two); and it reports faults on guest memory with trap
#     number -1, so Wine raised every access violation as an illegal
#     instruction that no exception handler could catch. It is built here
#     with the system C compiler (-m32, no C library needed); 64-bit processes
#     find an empty library of the same name through ld.so's $LIB.
#
# A win32 prefix is prepared once per machine (wineboot under the same setup)
# and cached in ${ORBITUNE_WINE32_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orbitune-wine32}.
# Each run works in a private copy of it (files hard-linked, registry copied),
# so runs never share a wineserver; that server and every process it still
# serves are killed at the end, and the copy is removed.
#
# Environment:
#   ORBITUNE_WINE32_CACHE     cache directory (default above)
#   ORBITUNE_WINE32_TIMEOUT   seconds the program may run (default 600)
#   ORBITUNE_WINE32_PREPARE_TIMEOUT  seconds for preparing the prefix (default 1800)
#   ORBITUNE_WINE32_MODE      native | qemu (default: detected)
#   ORBITUNE_WINE32_SERVICES=1  let Wine boot its background processes
#                             (services.exe, plugplay, winedevice, ...) as usual.
#                             Off by default: a program then runs alone, which
#                             is faster and steadier; under qemu those
#                             multithreaded services crash now and then and
#                             fill stderr with noise. Needed only by programs
#                             that use services or device drivers (e.g.
#                             GetAdaptersAddresses, COM servers).
#   ORBITUNE_WINE32_DEBUGGER=1  let an unhandled exception start winedbg (off:
#                             Wine reports the exception and the program ends
#                             with a non-zero status)
#   ORBITUNE_WINE32_KEEP=1    keep the per-run prefix (its path is printed)
#   WINEDEBUG                 passed on (default -all: only the program's output)
#   WINEDLLOVERRIDES          appended to the defaults (mscoree,mshtml disabled,
#                             winemenubuilder.exe disabled)
#
# Exit status: the program's (as Wine passes it on: 0-255 as they are); 124
# when it timed out; 125 when Wine could not be set up or the program was not
# found.
set -uo pipefail

LAYOUT_VERSION=2
SELF=${0##*/}

usage() {
  sed -n '2,/^set -uo/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//'
}

die() {
  echo "$SELF: $*" >&2
  exit 125
}

prepare_only=0
case "${1:-}" in
  -h|--help) usage; exit 0 ;;
  --prepare) prepare_only=1; shift ;;
  "") usage >&2; exit 125 ;;
esac
if [ "$prepare_only" = 0 ] && [ $# -eq 0 ]; then
  usage >&2
  exit 125
fi
if [ "$prepare_only" = 1 ] && [ $# -gt 0 ]; then
  prepare_only=0
fi

RUN_TIMEOUT=${ORBITUNE_WINE32_TIMEOUT:-600}
SERVICES=${ORBITUNE_WINE32_SERVICES:-0}
PREPARE_TIMEOUT=${ORBITUNE_WINE32_PREPARE_TIMEOUT:-1800}
CACHE=${ORBITUNE_WINE32_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/orbitune-wine32}

WINE32_LOADER=/usr/lib/wine/wine
WINE_I386_LIBDIR=/usr/lib/i386-linux-gnu
WINE_DATADIR=/usr/share/wine

for tool in timeout flock md5sum; do
  command -v "$tool" >/dev/null 2>&1 || die "'$tool' is missing (coreutils/util-linux)"
done
[ -x "$WINE32_LOADER" ] || die "$WINE32_LOADER is missing: install wine32:i386 (scripts/install-deps.sh)"
[ -f "$WINE_I386_LIBDIR/wine/i386-unix/ntdll.so" ] || die "Wine's 32-bit libraries are missing: install wine32:i386"

# The server: the 64-bit one serves 32-bit clients and needs no 32-bit exec.
WINESERVER_BIN=
for s in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver32; do
  if [ -x "$s" ]; then WINESERVER_BIN=$s; break; fi
done
[ -n "$WINESERVER_BIN" ] || die "no wineserver found: install wine64 (scripts/install-deps.sh)"

# Can this kernel execute 32-bit Linux programs? wineserver32 --version (from
# wine32:i386) has no side effects; without it, assume it cannot.
detect_mode() {
  local probe=/usr/lib/wine/wineserver32
  if [ -x "$probe" ] && "$probe" --version >/dev/null 2>&1; then
    echo native
  else
    echo qemu
  fi
}
MODE=${ORBITUNE_WINE32_MODE:-$(detect_mode)}
case "$MODE" in
  native|qemu) ;;
  *) die "ORBITUNE_WINE32_MODE must be native or qemu, not '$MODE'" ;;
esac

QEMU=
if [ "$MODE" = qemu ]; then
  QEMU=$(command -v qemu-i386-static 2>/dev/null) ||
    die "this kernel cannot run 32-bit programs and qemu-i386-static is missing: install qemu-user-static"
fi

ROOT=$CACHE/root                  # loader tree
PRELOAD_DIR=$CACHE/preload        # $LIB/libqemufix.so for i386 and x86_64
PREFIX_TEMPLATE=$CACHE/prefix
STAMP=$CACHE/stamp

cache_key() {
  {
    echo "layout $LAYOUT_VERSION mode $MODE"
    md5sum "$WINE32_LOADER" "$WINE_I386_LIBDIR/wine/i386-unix/ntdll.so" \
      "$WINE_DATADIR/wine.inf" "$WINESERVER_BIN" ${QEMU:+"$QEMU"} 2>/dev/null
  } | md5sum | cut -d' ' -f1
}

# Environment shared by preparation and runs; a second argument "run" also
# keeps wineboot (and so the background services) from starting, unless
# ORBITUNE_WINE32_SERVICES=1.
wine_env() {
  local prefix=$1
  local overrides="mscoree,mshtml=;winemenubuilder.exe=d"
  if [ "${2:-}" = run ] && [ "$SERVICES" != 1 ]; then
    overrides="$overrides;wineboot.exe=d"
  fi
  if [ "${2:-}" = run ] && [ "${ORBITUNE_WINE32_DEBUGGER:-0}" != 1 ]; then
    overrides="$overrides;winedbg.exe=d"
  fi
  [ -n "${WINEDLLOVERRIDES:-}" ] && overrides="$overrides;$WINEDLLOVERRIDES"
  ENV=(
    WINEPREFIX="$prefix"
    WINEARCH=win32
    WINESERVER="$WINESERVER_BIN"
    WINEDEBUG="${WINEDEBUG:--all}"
    WINEDLLOVERRIDES="$overrides"
    DISPLAY=
    WAYLAND_DISPLAY=
  )
  if [ "$MODE" = qemu ]; then
    # shellcheck disable=SC2016  # $LIB is expanded by ld.so, not by the shell
    ENV+=(LD_PRELOAD="$PRELOAD_DIR/\$LIB/libqemufix.so")
    LOADER=("$ROOT/lib/wine/wine-preloader" "$ROOT/lib/wine/wine")
  else
    LOADER=("$WINE32_LOADER")
  fi
}

# Kills the prefix's server and what it serves, then removes the private
# socket directory that Debian's Wine names in PREFIX/wineserver.
stop_server() {
  local prefix=$1 name dir
  [ -d "$prefix" ] || return 0
  # Once the program is gone the server ends the background processes
  # (services, devices) itself and exits; give it a moment to do so cleanly.
  local grace=${2:-0}
  if [ "$grace" -eq 0 ] ||
     ! WINEPREFIX="$prefix" timeout "$grace" "$WINESERVER_BIN" -w >/dev/null 2>&1; then
    WINEPREFIX="$prefix" timeout 30 "$WINESERVER_BIN" -k >/dev/null 2>&1
    WINEPREFIX="$prefix" timeout 30 "$WINESERVER_BIN" -w >/dev/null 2>&1
  fi
  if [ -f "$prefix/wineserver" ]; then
    name=$(head -c 64 "$prefix/wineserver" 2>/dev/null)
    if [[ "$name" =~ ^wine-[A-Za-z0-9]+$ ]]; then
      for dir in "${TMPDIR:-/tmp}/$name" "/tmp/$name"; do
        [ -d "$dir" ] && rm -rf "$dir"
      done
    fi
    rm -f "$prefix/wineserver"
  fi
  return 0
}

build_loader_tree() {
  local cc
  rm -rf "$ROOT" "$PRELOAD_DIR"
  mkdir -p "$ROOT/lib/wine" "$ROOT/share" || return 1
  # A copy, not a link: Wine looks for its helpers next to the resolved path
  # of the running loader.
  cp "$WINE32_LOADER" "$ROOT/lib/wine/wine" || return 1
  ln -s "$WINESERVER_BIN" "$ROOT/lib/wine/wineserver" || return 1
  ln -s "$WINE_I386_LIBDIR" "$ROOT/lib/i386-linux-gnu" || return 1
  ln -s "$WINE_DATADIR" "$ROOT/share/wine" || return 1
  cat >"$ROOT/lib/wine/wine-preloader" <<EOF || return 1
#!/bin/sh
# Wine executes this as "wine-preloader LOADER ARGS..." to start a process:
# run the 32-bit loader under qemu. -R: a guest address space of nearly 4 GiB
# keeps qemu's own mappings away from the addresses Wine reserves.
WINELOADERNOEXEC=1
export WINELOADERNOEXEC
exec "$QEMU" -R 0xffff0000 "\$@"
EOF
  chmod +x "$ROOT/lib/wine/wine-preloader" || return 1

  cc=$(command -v cc || command -v gcc) || { echo "$SELF: no C compiler (gcc) to build the i386 helper library" >&2; return 1; }
  mkdir -p "$PRELOAD_DIR/lib/i386-linux-gnu" "$PRELOAD_DIR/lib/x86_64-linux-gnu" || return 1
  cat >"$CACHE/qemufix.c" <<'EOF'
/* Preloaded into the 32-bit Wine processes that qemu-i386 7.x runs; built
 * without a C library, it resolves errno and dlsym from the process's glibc.
 *
 * 1. qemu passes MAP_FIXED_NOREPLACE on as a mere hint. Give it its meaning:
 *    if the mapping did not land at the requested address, undo it and fail
 *    with EEXIST.
 * 2. For a fault on guest memory qemu delivers SIGSEGV with trap number -1 in
 *    the signal context, which Wine's handler takes for an unknown trap and
 *    raises as an illegal instruction: no access violation reaches SEH or
 *    vectored handlers, guard pages do not work. Wrap Wine's SIGSEGV handler
 *    and mark such faults as page faults (trap 14). qemu does not say whether
 *    the access was a write: a fault on a mapped page (SEGV_ACCERR) is
 *    reported as a write, one on an unmapped page as a read. */
typedef unsigned int size_t;
typedef long long off64_t;
#define MAP_FIXED 0x10
#define MAP_FIXED_NOREPLACE 0x100000
#define EEXIST 17
#define EINVAL 22
#define NR_old_mmap 90
#define NR_munmap 91
#define SIGSEGV 11
#define SA_SIGINFO 4
#define SEGV_ACCERR 2
#define RTLD_NEXT ((void *)-1)
#define REG_TRAPNO 12
#define REG_ERR 13
#define TRAP_PAGEFLT 14
#define PF_USER_READ 4
#define PF_USER_WRITE 6
extern int *__errno_location(void);
extern void *dlsym(void *, const char *);

static long sys2(long nr, long a, long b)
{
  long ret;
  __asm__ volatile("int $0x80" : "=a"(ret) : "a"(nr), "b"(a), "c"(b) : "memory");
  return ret;
}

static void *do_mmap(void *addr, size_t len, int prot, int flags, int fd, off64_t off)
{
  int noreplace = flags & MAP_FIXED_NOREPLACE;
  unsigned long args[6];
  long r;
  if ((off & 0xfff) || off < 0 || off > 0xffffffffLL) {
    *__errno_location() = EINVAL;
    return (void *)-1;
  }
  flags &= ~MAP_FIXED_NOREPLACE;
  args[0] = (unsigned long)addr; args[1] = len; args[2] = (unsigned long)prot;
  args[3] = (unsigned long)flags; args[4] = (unsigned long)fd; args[5] = (unsigned long)off;
  r = sys2(NR_old_mmap, (long)args, 0);
  if ((unsigned long)r >= (unsigned long)-4095) {
    *__errno_location() = (int)-r;
    return (void *)-1;
  }
  if (noreplace && !(flags & MAP_FIXED) && (void *)r != addr) {
    sys2(NR_munmap, r, (long)len);
    *__errno_location() = EEXIST;
    return (void *)-1;
  }
  return (void *)r;
}
void *mmap(void *addr, size_t len, int prot, int flags, int fd, long off)
{
  return do_mmap(addr, len, prot, flags, fd, (off64_t)off);
}
void *mmap64(void *addr, size_t len, int prot, int flags, int fd, off64_t off)
{
  return do_mmap(addr, len, prot, flags, fd, off);
}

struct siginfo_head { int si_signo, si_errno, si_code; void *si_addr; };
struct glibc_sigaction {              /* i386 glibc struct sigaction */
  void (*handler)(int, struct siginfo_head *, void *);
  unsigned long mask[32];
  int flags;
  void (*restorer)(void);
};
typedef int (*sigaction_fn)(int, const struct glibc_sigaction *, struct glibc_sigaction *);
static void (*wine_segv_handler)(int, struct siginfo_head *, void *);

static void segv_fixup(int sig, struct siginfo_head *info, void *uc)
{
  /* ucontext_t: uc_flags, uc_link, uc_stack (12 bytes), then the registers */
  unsigned int *gregs = (unsigned int *)((char *)uc + 20);
  if (gregs[REG_TRAPNO] == 0xffffffffu) {
    gregs[REG_TRAPNO] = TRAP_PAGEFLT;
    gregs[REG_ERR] = (info && info->si_code == SEGV_ACCERR) ? PF_USER_WRITE : PF_USER_READ;
  }
  wine_segv_handler(sig, info, uc);
}

int sigaction(int sig, const struct glibc_sigaction *act, struct glibc_sigaction *oact)
{
  static sigaction_fn next;
  if (!next) next = (sigaction_fn)dlsym(RTLD_NEXT, "sigaction");
  if (!next) {
    *__errno_location() = EINVAL;
    return -1;
  }
  if (sig == SIGSEGV && act && (act->flags & SA_SIGINFO) && act->handler != segv_fixup) {
    struct glibc_sigaction copy = *act;
    wine_segv_handler = act->handler;
    copy.handler = segv_fixup;
    return next(sig, &copy, oact);
  }
  return next(sig, act, oact);
}
EOF
  "$cc" -m32 -O2 -fPIC -shared -nostdlib -ffreestanding -fno-stack-protector \
    "$CACHE/qemufix.c" -o "$PRELOAD_DIR/lib/i386-linux-gnu/libqemufix.so" ||
    { echo "$SELF: could not build the i386 helper library with $cc -m32" >&2; return 1; }
  echo 'int orbitune_wine32_unused;' >"$CACHE/empty.c"
  "$cc" -O2 -fPIC -shared -nostdlib "$CACHE/empty.c" -o "$PRELOAD_DIR/lib/x86_64-linux-gnu/libqemufix.so" ||
    { echo "$SELF: could not build the empty 64-bit helper" >&2; return 1; }
}

prepare_prefix() {
  local key new rc start
  key=$(cache_key)
  if [ -f "$STAMP" ] && [ "$(cat "$STAMP")" = "$key" ] &&
     [ -f "$PREFIX_TEMPLATE/system.reg" ] &&
     { [ "$MODE" = native ] ||
       { [ -x "$ROOT/lib/wine/wine-preloader" ] && [ -f "$ROOT/lib/wine/wine" ] &&
         [ -f "$PRELOAD_DIR/lib/i386-linux-gnu/libqemufix.so" ]; }; }; then
    return 0
  fi
  echo "$SELF: preparing a 32-bit Wine prefix in $CACHE ($MODE mode; once per machine, a few minutes)" >&2
  start=$(date +%s)
  rm -f "$STAMP"
  if [ "$MODE" = qemu ]; then
    build_loader_tree || return 1
  fi
  new=$CACHE/prefix.new
  stop_server "$new"
  rm -rf "$new" "$PREFIX_TEMPLATE"
  wine_env "$new"
  env "${ENV[@]}" timeout --kill-after=10 "$PREPARE_TIMEOUT" "${LOADER[@]}" wineboot.exe --init \
    </dev/null >"$CACHE/prepare.log" 2>&1
  rc=$?
  # Let the services wineboot started finish and the registry be written.
  WINEPREFIX="$new" timeout 120 "$WINESERVER_BIN" -w >/dev/null 2>&1 || stop_server "$new"
  stop_server "$new"
  if [ $rc -ne 0 ] || [ ! -f "$new/system.reg" ] ||
     [ ! -f "$new/drive_c/windows/system32/kernel32.dll" ] ||
     ! grep -q 'has been updated' "$CACHE/prepare.log"; then
    echo "$SELF: wineboot failed (exit $rc) after $(( $(date +%s) - start ))s; its log: $CACHE/prepare.log" >&2
    tail -n 20 "$CACHE/prepare.log" >&2
    return 1
  fi
  mv "$new" "$PREFIX_TEMPLATE" || return 1
  echo "$key" >"$STAMP"
  echo "$SELF: prefix ready after $(( $(date +%s) - start ))s" >&2
}

mkdir -p "$CACHE/runs" || die "cannot create $CACHE"
exec 9>"$CACHE/lock" || die "cannot open $CACHE/lock"
flock 9 || die "cannot lock $CACHE/lock"
prepare_prefix || die "could not prepare the Wine prefix"
if [ "$prepare_only" = 1 ]; then
  exit 0
fi

PROGRAM=$1
shift
[ -f "$PROGRAM" ] || die "no such program: $PROGRAM"

RUN_DIR=$(mktemp -d "$CACHE/runs/run.XXXXXX") || die "cannot create a run directory in $CACHE/runs"
RUN_PREFIX=$RUN_DIR/prefix
cleanup() {
  if [ "$SERVICES" = 1 ]; then stop_server "$RUN_PREFIX" 20; else stop_server "$RUN_PREFIX"; fi
  if [ "${ORBITUNE_WINE32_KEEP:-0}" = 1 ]; then
    echo "$SELF: kept $RUN_PREFIX" >&2
  else
    rm -rf "$RUN_DIR"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The copy: the registry files are written by the server, so they are copied;
# the rest (about 500 MB of DLLs) is hard-linked, which is instant.
mkdir -p "$RUN_PREFIX" || die "cannot create $RUN_PREFIX"
cp -al "$PREFIX_TEMPLATE/drive_c" "$RUN_PREFIX/drive_c" 2>/dev/null ||
  cp -a "$PREFIX_TEMPLATE/drive_c" "$RUN_PREFIX/drive_c" || die "cannot copy the prefix"
for f in "$PREFIX_TEMPLATE"/* "$PREFIX_TEMPLATE"/.update-timestamp; do
  case "${f##*/}" in drive_c|wineserver) continue ;; esac
  [ -e "$f" ] || [ -L "$f" ] || continue
  cp -a "$f" "$RUN_PREFIX/" || die "cannot copy the prefix"
done
exec 9>&-   # the copy is made: other runs may go on

# With no standard input at all, give the program an empty one.
if ! { true <&0; } 2>/dev/null; then
  exec </dev/null
fi

wine_env "$RUN_PREFIX" run
env "${ENV[@]}" timeout --kill-after=10 "$RUN_TIMEOUT" "${LOADER[@]}" "$PROGRAM" "$@"
rc=$?
if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
  echo "$SELF: $PROGRAM did not finish within ${RUN_TIMEOUT}s (ORBITUNE_WINE32_TIMEOUT); stopped" >&2
  rc=124
fi
exit $rc
