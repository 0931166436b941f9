"""The MD5 digest inside hashed magnets, checked from outside: against Python's hashlib, and
on a host whose OpenSSL configuration demands FIPS-approved algorithms.

The digest is compared end to end rather than through a test-only entry point: a graph
whose ring edge is cut writes the magnets of both ends into the string, as text with
allow_hashes=False and as 32 hex digits with allow_hashes=True, so the digest is checked
where the library uses it, on the flat and on the streamed (large subtree) path. A magnet
is at least five bytes ("_()X_"); the shorter lengths are covered by the C++ test vectors."""

import hashlib
import json
import os
import pathlib
import random
import re
import subprocess
import sys
import textwrap

import pytest

import tolva._tolva as m
from conftest import EXAMPLES, ROOT, cgraph, cli_env, graph

# Code points written as 1, 2, 3 and 4 UTF-8 bytes (no surrogates).
CODE_POINT_RANGES = [(0x01, 0x7F), (0x80, 0x7FF), (0x800, 0xD7FF), (0x10000, 0x10FFFF)]
# Two plain magnets joined by the modality of the cut edge, "1" here.
CUT_EDGE = re.compile(r"\*\{(_[^{}]*?_)-1-(_[^{}]*?_)\}")


def utf8_label(rng, size):
    """A random label of exactly `size` UTF-8 bytes, mixing every encoded width."""
    label = ""
    while len(label.encode()) < size:
        room = size - len(label.encode())
        low, high = rng.choice(CODE_POINT_RANGES[:min(room, 4)])
        label += chr(rng.randint(low, high))
    return label


def cut_ring(b_label, below_b=()):
    """Root r (the one node of greatest degree) with b and c on floor 1 and the edge b-c to
    cut; `below_b` are labels of leaves under b, which make b's magnet a larger subtree."""
    leaves = range(len(below_b) + 2)
    nodes = [("r", "R"), ("b", b_label), ("c", "C")] + [(f"l{i}", "L") for i in leaves]
    edges = [("r", "b", "1"), ("r", "c", "1"), ("b", "c", "1")] + [("r", f"l{i}", "1") for i in leaves]
    nodes += [(f"x{i}", label) for i, label in enumerate(below_b)]
    edges += [("b", f"x{i}", "2") for i in range(len(below_b))]
    return graph(nodes, edges)


def hashed_form(magnet):
    return "_" + hashlib.md5(magnet.encode()).hexdigest() + "_"


def test_digest_of_every_magnet_length_matches_hashlib():
    rng = random.Random(1321)
    for size in range(5, 301):
        label = utf8_label(rng, size - len("_()_"))
        g = cut_ring(label)
        magnet = "_()" + label + "_"
        assert magnet in cgraph(g, allow_hashes=False, compress=False), size
        assert hashed_form(magnet) in cgraph(g, allow_hashes=True, compress=False), size


@pytest.mark.parametrize("b_label, below_b", [
    ("B" * 4100, ()),
    ("B" * 1_000_000, ()),
    ("B", ("x" * 3000, "y" * 70_000, "z")),
    ("Bé" * 2000, tuple("ü" * n for n in range(1, 200))),
], ids=["past-streaming-threshold", "many-blocks-at-once", "subtree-in-pieces", "pieces-of-every-size"])
def test_digest_of_long_magnets_matches_hashlib(b_label, below_b):
    g = cut_ring(b_label, below_b)
    magnets = set(CUT_EDGE.findall(cgraph(g, allow_hashes=False, compress=False))[0])
    assert max(len(text.encode()) for text in magnets) > 4096
    hashed = cgraph(g, allow_hashes=True, compress=False)
    for magnet in magnets:
        assert hashed_form(magnet) in hashed


FIPS_CONF = """\
openssl_conf = openssl_init
[openssl_init]
alg_section = evp_properties
[evp_properties]
default_properties = fips=yes
"""

CHILD = textwrap.dedent("""\
    import hashlib, json, sys
    import tolva._tolva as m
    try:
        hashlib.md5(b"")
        refused = False
    except ValueError:
        refused = True
    outputs = []
    for path in sys.argv[1:]:
        g = m.parse_dot(path)
        outputs += [m.to_cgraph_py(g, None, None, h, False, None).as_str() for h in (True, False)]
        outputs.append(m.canonical_node_order_py(g, None, None, True, None))
    print(json.dumps({"md5_refused": refused, "outputs": outputs}))
""")


def outputs_under(openssl_conf):
    env = cli_env() | {"OPENSSL_CONF": str(openssl_conf)}
    run = subprocess.run([sys.executable, "-c", CHILD, *EXAMPLES], capture_output=True, text=True,
                         cwd=ROOT, env=env, check=True)
    return json.loads(run.stdout)


def test_fips_configuration_changes_no_string(tmp_path):
    conf = tmp_path / "openssl-fips.cnf"
    conf.write_text(FIPS_CONF)
    fips = outputs_under(conf)
    if not fips["md5_refused"]:
        pytest.skip("this Python's OpenSSL does not apply OPENSSL_CONF, so FIPS mode cannot be shown")
    assert fips["outputs"] == outputs_under(os.devnull)["outputs"]


def needed_libraries(path):
    """The DT_NEEDED entries of a 64-bit little-endian ELF shared object."""
    data = pathlib.Path(path).read_bytes()
    assert data[:6] == b"\x7fELF\x02\x01", "a 64-bit little-endian ELF file"
    section_offset = int.from_bytes(data[0x28:0x30], "little")
    entry_size, count = (int.from_bytes(data[i:i + 2], "little") for i in (0x3A, 0x3C))
    sections = [data[section_offset + i * entry_size:][:entry_size] for i in range(count)]
    field = lambda section, at, size=8: int.from_bytes(section[at:at + size], "little")  # noqa: E731
    needed = []
    for dynamic in (s for s in sections if field(s, 4, 4) == 6):  # SHT_DYNAMIC
        strings = sections[field(dynamic, 40, 4)]  # sh_link: its string table
        table = data[field(strings, 24):][:field(strings, 32)]
        body = data[field(dynamic, 24):][:field(dynamic, 32)]
        for at in range(0, len(body), 16):
            if int.from_bytes(body[at:at + 8], "little") == 1:  # DT_NEEDED
                name_at = int.from_bytes(body[at + 8:at + 16], "little")
                needed.append(table[name_at:table.index(b"\0", name_at)].decode())
    return needed


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads the ELF dynamic section")
def test_extension_links_no_crypto_library():
    needed = needed_libraries(m.__file__)
    assert any(name.startswith("libc.so") for name in needed), needed
    assert not [name for name in needed if "crypto" in name or "ssl" in name]
