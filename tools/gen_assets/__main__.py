"""Entry point: `python3 tools/gen_assets` (or `python3 -m gen_assets` from tools/)."""

import os
import sys

# Keep the source tree free of bytecode caches; ctest runs this on every pass.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from gen_assets.cli import main  # noqa: E402

sys.exit(main())
