"""Reading graphs from DOT: parse_dot (a file) and parse_dot_string (text)."""

import inspect
import json
import pathlib

import pytest

import tolva._tolva as m

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"
STRUCTURED = ROOT.parent / "shared" / "data" / "structured.jsonl"


def test_string_example():
    g = m.parse_dot_string('graph G {\n a [label=A];\n a -- b [weight=2];\n}')
    assert g.node_labels() == [("a", "A"), ("b", ".")]
    assert g.edges() == [("e1", "a", "b", "2")]


def test_empty_text_gives_empty_graph():
    g = m.parse_dot_string("")
    assert (g.node_count, g.edge_count) == (0, 0)


@pytest.mark.parametrize(
    "text",
    [
        "graph G {\n a [label=\"é\"];\n a -- b [weight=ar];\n b -- c;\n}\n",
        "graph G {\r\n a [label=\"é\"];\r\n a -- b [weight=ar];\r\n b -- c;\r\n}\r\n",
        "\u3000a\u00a0--\u2028b\u2029[weight=x]",
    ],
)
def test_file_and_string_with_same_content_agree(tmp_path, text):
    path = tmp_path / "g.dot"
    path.write_bytes(text.encode("utf-8"))
    from_file, from_text = m.parse_dot(str(path)), m.parse_dot_string(text)
    assert from_file.node_labels() == from_text.node_labels()
    assert from_file.edges() == from_text.edges()
    assert from_file.edge_count >= 1


@pytest.mark.parametrize(
    "text, message",
    [
        ("graph G {\n\n-- b\n}", "parse error: line 3: empty node id"),
        ("[x] -- b", "parse error: line 1: invalid node id in '[x] '"),
    ],
)
def test_unusable_ids_raise_value_error_with_line(text, message):
    with pytest.raises(ValueError) as caught:
        m.parse_dot_string(text)
    assert str(caught.value) == message


def test_unreadable_files_raise_value_error(tmp_path):
    cases = {
        "/no/such/file": "parse error: No such file or directory (os error 2)",
        str(tmp_path): "parse error: Is a directory (os error 21)",
    }
    bad = tmp_path / "bad.dot"
    bad.write_bytes(b"a [label=\xe9]\n")
    cases[str(bad)] = "parse error: stream did not contain valid UTF-8"
    for path, message in cases.items():
        with pytest.raises(ValueError) as caught:
            m.parse_dot(path)
        assert str(caught.value) == message


def test_nul_in_path_never_opens_the_prefix(tmp_path):
    real = tmp_path / "g.dot"
    real.write_text("a -- b\n")
    assert m.parse_dot(str(real)).edge_count == 1
    with pytest.raises(ValueError) as caught:
        m.parse_dot(str(real) + "\0.other")
    assert str(caught.value) == "parse error: file name contained an unexpected NUL byte"


@pytest.mark.parametrize(
    "call, value, message",
    [
        (m.parse_dot, b"/tmp/x.dot", "argument 'path': 'bytes' object cannot be cast as 'str'"),
        (m.parse_dot, pathlib.Path("/tmp/x.dot"),
         "argument 'path': 'PosixPath' object cannot be cast as 'str'"),
        (m.parse_dot_string, b"a -- b",
         "argument 'content': 'bytes' object cannot be cast as 'str'"),
        (m.parse_dot_string, None,
         "argument 'content': 'NoneType' object cannot be cast as 'str'"),
    ],
)
def test_non_str_arguments_raise_type_error(call, value, message):
    with pytest.raises(TypeError) as caught:
        call(value)
    assert str(caught.value) == message


@pytest.mark.parametrize("call", [m.parse_dot, m.parse_dot_string])
def test_lone_surrogate_raises_unicode_encode_error(call):
    with pytest.raises(UnicodeEncodeError):
        call("a\ud800 -- b")


def test_keywords_and_signatures():
    assert m.parse_dot_string(content="a -- b").edge_count == 1
    # The docstrings hold only the signature, which Python turns into these.
    assert m.parse_dot.__doc__ is None and m.parse_dot_string.__doc__ is None
    assert m.parse_dot.__text_signature__ == "(path)"
    assert m.parse_dot_string.__text_signature__ == "(content)"
    assert str(inspect.signature(m.parse_dot)) == "(path)"
    with pytest.raises(TypeError):
        m.parse_dot_string()
    with pytest.raises(TypeError):
        m.parse_dot_string("", path="x")


@pytest.mark.parametrize(
    "name, nodes, edges, labels",
    [
        ("two_nodes", 2, 1, {"."}),
        ("ethanol", 3, 2, {"C", "O"}),
        ("benzene", 6, 6, {"C"}),
        ("ring6", 6, 6, {"."}),
        ("caffeine", 14, 15, {"C", "N", "O"}),
    ],
)
def test_examples_read(name, nodes, edges, labels):
    g = m.parse_dot(str(EXAMPLES / f"{name}.dot"))
    assert (g.node_count, g.edge_count) == (nodes, edges)
    assert {label for _, label in g.node_labels()} == labels


def test_florentine_example_is_the_corpus_graph():
    with STRUCTURED.open(encoding="utf-8") as corpus:
        data = next(g for g in map(json.loads, corpus) if g["name"] == "florentine_families")
    expected = m.graph_from_edges([tuple(n) for n in data["nodes"]],
                                  [tuple(e) for e in data["edges"]])
    g = m.parse_dot(str(EXAMPLES / "florentine.dot"))
    assert g.node_labels() == expected.node_labels()
    assert g.edges() == expected.edges()
