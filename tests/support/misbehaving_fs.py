#!/usr/bin/python3
"""A FUSE file system whose folders misbehave on purpose, as shares that stop answering do.

Usage: misbehaving_fs.py MOUNTPOINT [--delay-ms N] [--slow-names N]

  /hang/      its listing never answers (the request is taken and never replied to), nor does a
              look-up of any name in it (a program looked for on PATH there)
  /slow/      answers after the delay, with --slow-names names ("Slow ROM 000001.nes" ...)
  /changing/  one name that changes at every listing ("Take 1.nes", "Take 2.nes" ...), and no
              change notice ever, as a remote share behaves
  /broken/    its listing fails with EIO
  /ticking/   one name that changes every two seconds ("Tick N.nes"), its folder's modification
              time with it, and no change notice ever
  /stalled/   "Game.nes" and "gamelist.xml", listed and looked up at once; a read of either never
              answers, as a file on a share that stops answering mid-way
  /guarded/   "Guarded.nes" and a folder "Inner"; chmod sets its mode, and without read permission
              it refuses to be opened (EACCES) to anybody, root too, as the file system checks
              permissions itself; its modification time never changes

Runs in the foreground until its connection is aborted or it is killed.
"""

import argparse
import errno
import stat
import threading
import time

from fusepy import FUSE, FuseOSError, Operations

FOLDERS = ("hang", "slow", "changing", "broken", "ticking", "guarded", "stalled")
STALLED = ("Game.nes", "gamelist.xml")
FOLDER = {"st_mode": stat.S_IFDIR | 0o755, "st_nlink": 2}
FILE = {"st_mode": stat.S_IFREG | 0o644, "st_nlink": 1, "st_size": 0}


def tick():
    return int(time.time()) // 2


class Misbehaving(Operations):
    use_ns = True

    def __init__(self, delay, slow_names):
        self.delay = delay
        self.slow = ["Slow ROM %06d.nes" % i for i in range(1, slow_names + 1)]
        self.slow_set = set(self.slow)
        self.takes = 0
        self.lock = threading.Lock()
        self.never = threading.Event()
        self.guarded_mode = 0o755

    def getattr(self, path, fh=None):
        parts = path.strip("/").split("/")
        if len(parts) == 2 and parts[0] == "hang":
            self.never.wait()
        if path == "/ticking":
            return dict(FOLDER, st_mtime=tick() * 2 * 10**9)
        if path == "/guarded":
            return dict(FOLDER, st_mode=stat.S_IFDIR | self.guarded_mode)
        if path == "/guarded/Guarded.nes":
            return FILE
        if len(parts) == 2 and parts[0] == "stalled" and parts[1] in STALLED:
            return dict(FILE, st_size=4096)
        if path == "/guarded/Inner":
            return FOLDER
        if len(parts) == 2 and parts[0] == "ticking" and parts[1].startswith("Tick "):
            return FILE
        if path == "/" or (len(parts) == 1 and parts[0] in FOLDERS):
            return FOLDER
        if len(parts) == 2 and parts[0] == "slow" and parts[1] in self.slow_set:
            return FILE
        if len(parts) == 2 and parts[0] == "changing" and parts[1].startswith("Take "):
            return FILE
        raise FuseOSError(errno.ENOENT)

    def chmod(self, path, mode):
        if path != "/guarded":
            raise FuseOSError(errno.EPERM)
        self.guarded_mode = mode & 0o7777
        return 0

    def opendir(self, path):
        if path == "/guarded" and not self.guarded_mode & 0o444:
            raise FuseOSError(errno.EACCES)
        return 0

    def read(self, path, size, offset, fh):
        if path.startswith("/stalled/"):
            self.never.wait()
        raise FuseOSError(errno.EIO)

    def readdir(self, path, fh):
        # Each entry carries its type, so a reader needs no further request per name.
        if path == "/":
            names = [(name, FOLDER) for name in FOLDERS]
        elif path == "/hang":
            self.never.wait()
            names = []
        elif path == "/slow":
            time.sleep(self.delay)
            names = [(name, FILE) for name in self.slow]
        elif path == "/changing":
            with self.lock:
                self.takes += 1
                names = [("Take %d.nes" % self.takes, FILE)]
        elif path == "/broken":
            raise FuseOSError(errno.EIO)
        elif path == "/ticking":
            names = [("Tick %d.nes" % tick(), FILE)]
        elif path == "/guarded":
            names = [("Guarded.nes", FILE), ("Inner", FOLDER)]
        elif path == "/guarded/Inner":
            names = []
        elif path == "/stalled":
            names = [(name, FILE) for name in STALLED]
        else:
            raise FuseOSError(errno.ENOENT)
        return [(".", FOLDER, 0), ("..", FOLDER, 0)] + [(name, attrs, 0) for name, attrs in names]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mountpoint")
    parser.add_argument("--delay-ms", type=int, default=1500)
    parser.add_argument("--slow-names", type=int, default=3)
    options = parser.parse_args()
    FUSE(Misbehaving(options.delay_ms / 1000.0, options.slow_names), options.mountpoint,
         foreground=True, nothreads=False, fsname="misbehaving")


if __name__ == "__main__":
    main()
