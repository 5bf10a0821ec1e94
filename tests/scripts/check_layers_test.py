"""Tests of scripts/check-layers.py on small trees made for each case."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-layers.py"
ORDER = "Layer order (top to bottom): cli -> engine -> db -> platform -> base\n"


def run(files):
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            path = pathlib.Path(root, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        done = subprocess.run([sys.executable, str(SCRIPT), root], capture_output=True, text=True)
        return done.returncode, done.stdout, done.stderr


class CheckLayers(unittest.TestCase):
    def test_downward_and_same_layer_includes_pass(self):
        code, out, err = run({
            "docs/architecture.md": "# A\n\n" + ORDER,
            "cli/main.cc": '#include "engine/x.h"\n#include "commands.h"\n#include "base/status.h"\n',
            "src/engine/x.h": '#include "db/y.h"\n#include "engine/z.h"\n#include "export.h"\n',
            "src/db/rows/r.cc": '#include "db/y.h"\n#include "platform/odbc/c.h"\n#include <vector>\n',
            "include/zarezodud/engine/p.h": '#include "zarezodud/db/q.h"\n',
        })
        self.assertEqual(code, 0, out + err)
        self.assertIn("4 files", out)

    def test_upward_include_fails_naming_file_line_and_layers(self):
        code, out, _ = run({
            "docs/architecture.md": ORDER,
            "src/platform/odbc/c.cc": '#include "platform/odbc/c.h"\n\n#include "db/rows/t.h"\n',
            "src/base/status.h": '#include "platform/fd.h"\n',
            "include/zarezodud/db/q.h": '#include "zarezodud/engine/p.h"\n',
            "src/db/ok.cc": '#include "platform/x.h"\n',
        })
        self.assertEqual(code, 1)
        self.assertIn('src/platform/odbc/c.cc:3: includes "db/rows/t.h" from layer db, above platform', out)
        self.assertIn('src/base/status.h:1: includes "platform/fd.h" from layer platform, above base', out)
        self.assertIn('include/zarezodud/db/q.h:1: includes "zarezodud/engine/p.h"', out)
        self.assertNotIn("ok.cc", out)

    def test_missing_order_line_is_an_error_not_a_pass(self):
        code, _, err = run({"docs/architecture.md": "no order here\n", "src/db/a.cc": '#include "cli/x.h"\n'})
        self.assertEqual(code, 2)
        self.assertIn("Layer order", err)


if __name__ == "__main__":
    unittest.main()
