"""Runs a pytest suite for CTest, or says clearly why it cannot: without pytest the test is skipped
(exit 77, CTest's SKIP_RETURN_CODE) with the package to install."""

import sys

try:
    import pytest
except ImportError:
    print("SKIPPED: pytest is not installed for " + sys.executable +
          " (Debian: apt-get install python3-pytest, or ./pndhal-dev deps)")
    sys.exit(77)

sys.exit(pytest.main(["-p", "no:cacheprovider", "-q", *sys.argv[1:]]))
