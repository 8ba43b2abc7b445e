/* Runs a command as on a machine whose kernel refuses 32-bit code: a seccomp
 * filter, inherited by every child, kills any process that makes a 32-bit
 * system call. Code that qemu-user translates makes 64-bit calls only, so
 * under this filter a 32-bit program runs through qemu or not at all.
 *   refuse-32bit COMMAND [ARGS...] */
#include <errno.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
  struct sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_I386, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  struct sock_fprog program = {sizeof filter / sizeof filter[0], filter};
  if (argc < 2) {
    fprintf(stderr, "usage: refuse-32bit COMMAND [ARGS...]\n");
    return 64;
  }
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
      prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
    fprintf(stderr, "refuse-32bit: cannot install the filter: %s\n", strerror(errno));
    return 70;
  }
  execvp(argv[1], argv + 1);
  fprintf(stderr, "refuse-32bit: %s: %s\n", argv[1], strerror(errno));
  return 127;
}
