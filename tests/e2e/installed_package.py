"""The program as the Debian package installs it, unpacked under a scratch
/usr: its folder is not the user's to write, so the history goes to the
user's data directory. As root every folder is writable, so the program then
runs as the unprivileged user "nobody"."""

import os
import subprocess

import zantor_e2e as z
from zantor_e2e import check

NOBODY = 65534


class InstalledSession(z.Session):
    def __init__(self, stage, name):
        super().__init__(stage, name)
        self.as_root = os.getuid() == 0
        self.history = os.path.join(self.data_home, "zantor", "QorvelDb.db")
        self.beside = self.db_path
        self.db_path = self.history  # what wait_steps and query read
        if self.as_root:
            os.chmod(self.root, 0o755)
            for d in (self.home, self.runtime, self.data_home):
                os.chown(d, NOBODY, NOBODY)
        else:
            os.chmod(os.path.join(self.app_dir, "bin"), 0o555)

    def launch(self):
        if not self.as_root:
            return super().launch()
        log = open(os.path.join(self.root, "zantor-%d.log" % len(self.procs)), "wb")
        p = subprocess.Popen(
            ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups",
             self.exe], env=self.env, cwd=self.home, stdout=log, stderr=subprocess.STDOUT,
            start_new_session=True)
        log.close()
        self.procs.append(p)
        return p


def scenario(s):
    proc, main = s.start_and_choose(keep=True)
    s.type("1234")
    s.key("Return")
    rows = s.wait_steps(1)
    check(rows[0][4] == "12.34", "first step: %r" % (rows[0],))
    check(not os.path.exists(s.beside), "a history file beside the installed program")
    s.close_main(proc, main)
    check(s.query("SELECT pos, resu FROM resul") == [(2, "12.34")],
          "saved total in the data directory: %r" % s.query("SELECT pos, resu FROM resul"))
    check(sorted(os.listdir(os.path.join(s.app_dir, "bin"))) == ["zantor", "zantor-tape"],
          "the program's folder changed: %r" % os.listdir(os.path.join(s.app_dir, "bin")))


if __name__ == "__main__":
    # The harness builds its session from the module's Session class.
    z.Session = InstalledSession
    z.run("installed_package", scenario)
