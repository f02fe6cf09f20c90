// getmntinfo and the Darwin mount record, as <sys/mount.h> declares them on the device.
//
// Mirrors: getmntinfo(struct statfs**, int), struct statfs (the fields device code reads:
// f_flags, f_fstypename, f_mntonname, f_mntfromname), MNT_WAIT / MNT_NOWAIT and the MNT_*
// flags. Faithful: the answer is the number of mounts, 0 on failure (errno set); the records
// belong to the system, stay valid until the next call and are never freed by the caller.
//
// On Linux the records come from a mount table in /proc/mounts format (by default the
// machine's own /proc/self/mounts; the host may name another). Linux has no union flag bit, so
// a mount is marked MNT_UNION when its type is a union file system (overlay, aufs, unionfs,
// fuse.unionfs, fuse.mergerfs) or its options include "union". The options ro, sync, noexec,
// nosuid, nodev and noatime map to their MNT_* flags. An empty table is a failure (0), as the
// device never has one; a table that cannot be read fails with its errno.
//
// This is the Darwin record, not glibc's struct statfs of <sys/statfs.h>: a file includes one
// or the other, never both.
#pragma once

#if defined(_SYS_STATFS_H)
#error "sys/mount_darwin.h declares the Darwin struct statfs; do not include <sys/statfs.h> too"
#endif
#define PLINKA_SYS_MOUNT_DARWIN_H 1

#include <cstdint>

constexpr int MFSTYPENAMELEN = 16;
constexpr int MNAMELEN = 1024;

struct fsid_darwin {
  int32_t val[2];
};

struct statfs {
  uint32_t f_bsize;
  int32_t f_iosize;
  uint64_t f_blocks;
  uint64_t f_bfree;
  uint64_t f_bavail;
  uint64_t f_files;
  uint64_t f_ffree;
  fsid_darwin f_fsid;
  uint32_t f_owner;
  uint32_t f_type;
  uint32_t f_flags;
  uint32_t f_fssubtype;
  char f_fstypename[MFSTYPENAMELEN];
  char f_mntonname[MNAMELEN];
  char f_mntfromname[MNAMELEN];
  uint32_t f_flags_ext;
  uint32_t f_reserved[7];
};

constexpr int MNT_WAIT = 1;
constexpr int MNT_NOWAIT = 2;

constexpr uint32_t MNT_RDONLY = 0x00000001;
constexpr uint32_t MNT_SYNCHRONOUS = 0x00000002;
constexpr uint32_t MNT_NOEXEC = 0x00000004;
constexpr uint32_t MNT_NOSUID = 0x00000008;
constexpr uint32_t MNT_NODEV = 0x00000010;
constexpr uint32_t MNT_UNION = 0x00000020;
constexpr uint32_t MNT_NOATIME = 0x10000000;

extern "C" int getmntinfo(struct statfs** mntbufp, int flags);
