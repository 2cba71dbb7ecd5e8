#!/usr/bin/python3
# A FUSE passthrough that answers every metadata call after a delay, as a
# network file system answers after a round trip, to time a walk on one:
#   slow_fs.py ROOT MOUNTPOINT DELAY_MS
# Mounts ROOT's tree at MOUNTPOINT and serves it until unmounted
# (fusermount3 -u MOUNTPOINT). Calls overlap as on NFS: libfuse runs each
# request on a thread of its own, and the delay is a sleep, which lets the
# other threads run. Reads and writes of file contents are not delayed.
# Names are passed on as bytes, whatever their encoding.
import errno
import os
import stat
import sys
import time

import fusepy

# The calls that wait: those a network file system answers over the
# network (lookup and status, listing, open, create, change, remove). Data
# reads and writes, and the closing of handles, do not.
DELAYED = frozenset(
    "access chmod chown create getattr link mkdir mknod open opendir readdir readlink "
    "rename rmdir statfs symlink truncate unlink utimens".split()
)

STAT_KEYS = (
    "st_mode st_ino st_dev st_nlink st_uid st_gid st_size st_blocks st_blksize "
    "st_atime_ns st_mtime_ns st_ctime_ns".split()
)


# The kind bits of a status for a listed entry, from what the listing
# told (no status call); 0 where it told nothing.
def kind(entry):
    if entry.is_symlink():
        return stat.S_IFLNK
    if entry.is_dir(follow_symlinks=False):
        return stat.S_IFDIR
    if entry.is_file(follow_symlinks=False):
        return stat.S_IFREG
    return 0


class SlowPassthrough(fusepy.Operations):
    use_ns = True

    def __init__(self, root, delay):
        self.root = os.fsencode(os.path.realpath(root))
        self.delay = delay

    def __call__(self, op, *args):
        if op in DELAYED:
            time.sleep(self.delay)
        return super().__call__(op, *args)

    # Paths come decoded as Latin-1 (every byte one character), so that any
    # name survives; they go back to bytes here.
    def _full(self, path):
        return self.root + path.encode("latin-1")

    @staticmethod
    def _attrs(status):
        attrs = {}
        for key in STAT_KEYS:
            attrs[key.removesuffix("_ns")] = getattr(status, key)
        return attrs

    def access(self, path, mode):
        if not os.access(self._full(path), mode):
            raise fusepy.FuseOSError(errno.EACCES)

    def chmod(self, path, mode):
        os.chmod(self._full(path), mode)

    def chown(self, path, uid, gid):
        os.lchown(self._full(path), uid, gid)

    def create(self, path, mode, info):
        info.fh = os.open(self._full(path), info.flags, mode)

    def getattr(self, path, info=None):
        if info:
            return self._attrs(os.fstat(info.fh))
        return self._attrs(os.lstat(self._full(path)))

    def link(self, target, source):
        os.link(self._full(source), self._full(target))

    def mkdir(self, path, mode):
        os.mkdir(self._full(path), mode)

    def mknod(self, path, mode, device):
        os.mknod(self._full(path), mode, device)

    def open(self, path, info):
        info.fh = os.open(self._full(path), info.flags)

    def read(self, path, size, offset, info):
        return os.pread(info.fh, size, offset)

    def readdir(self, path, info):
        # The kind of each entry goes with its name, as NFS's READDIRPLUS
        # gives it; without it a walk could not tell directories from files.
        yield ".", None, 0
        yield "..", None, 0
        with os.scandir(self._full(path)) as entries:
            for entry in entries:
                yield entry.name.decode("latin-1"), {"st_mode": kind(entry)}, 0

    def readlink(self, path):
        return os.readlink(self._full(path)).decode("latin-1")

    def release(self, path, info):
        os.close(info.fh)

    def rename(self, old, new):
        os.rename(self._full(old), self._full(new))

    def rmdir(self, path):
        os.rmdir(self._full(path))

    def statfs(self, path):
        status = os.statvfs(self._full(path))
        keys = "f_bavail f_bfree f_blocks f_bsize f_favail f_ffree f_files f_flag f_frsize f_namemax".split()
        return {key: getattr(status, key) for key in keys}

    def symlink(self, target, source):
        os.symlink(source.encode("latin-1"), self._full(target))

    def truncate(self, path, length, info=None):
        if info:
            os.ftruncate(info.fh, length)
        else:
            os.truncate(self._full(path), length)

    def unlink(self, path):
        os.unlink(self._full(path))

    def utimens(self, path, times=None):
        os.utime(self._full(path), ns=times, follow_symlinks=False)

    def write(self, path, data, offset, info):
        return os.pwrite(info.fh, data, offset)


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: slow_fs.py ROOT MOUNTPOINT DELAY_MS")
    root, mountpoint, delay = sys.argv[1], sys.argv[2], float(sys.argv[3]) / 1000
    # The kernel keeps what a lookup or a status call returned for a second
    # (libfuse's default, as an NFS client keeps attributes for a while).
    fusepy.FUSE(
        SlowPassthrough(root, delay),
        mountpoint,
        raw_fi=True,
        encoding="latin-1",
        foreground=True,
        nothreads=False,
        fsname="slowfs",
    )


if __name__ == "__main__":
    main()
