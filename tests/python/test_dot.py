"""Reading graphs from DOT: parse_dot (a file) and parse_dot_string (text)."""

import pathlib

import pytest

import tolva._tolva as m


def test_string_example_and_empty_text():
    g = m.parse_dot_string('graph G {\n a [label=A];\n a -- b [weight=2];\n}')
    assert (g.node_labels(), g.edges()) == ([("a", "A"), ("b", ".")], [("e1", "a", "b", "2")])
    assert (m.parse_dot_string("").node_count, m.parse_dot_string("").edge_count) == (0, 0)


@pytest.mark.parametrize("text", [
    "graph G {\n a [label=\"é\"];\n a -- b [weight=ar];\n b -- c;\n}\n",
    "graph G {\r\n a [label=\"é\"];\r\n a -- b [weight=ar];\r\n b -- c;\r\n}\r\n",
    "\u3000a\u00a0--\u2028b\u2029[weight=x]",
])
def test_file_and_string_with_same_content_agree(tmp_path, text):
    path = tmp_path / "g.dot"
    path.write_bytes(text.encode("utf-8"))
    from_file, from_text = m.parse_dot(str(path)), m.parse_dot_string(text)
    assert (from_file.node_labels(), from_file.edges()) == (from_text.node_labels(), from_text.edges())
    assert from_file.edge_count >= 1


@pytest.mark.parametrize("content, name, message", [
    (None, "/no/such/file", "parse error: No such file or directory (os error 2)"),
    (None, ".", "parse error: Is a directory (os error 21)"),
    (b"a [label=\xe9]\n", "g.dot", "parse error: stream did not contain valid UTF-8"),
    # The prefix before the NUL names a readable file, which must not be opened.
    (b"a -- b\n", "g.dot\0.other", "parse error: file name contained an unexpected NUL byte"),
    ("graph G {\n\n-- b\n}", None, "parse error: line 3: empty node id"),
    ("[x] -- b", None, "parse error: line 1: invalid node id in '[x] '"),
])
def test_unreadable_input_raises_value_error(tmp_path, content, name, message):
    if isinstance(content, bytes):
        (tmp_path / "g.dot").write_bytes(content)
    with pytest.raises(ValueError) as caught:
        m.parse_dot_string(content) if name is None else m.parse_dot(str(tmp_path / name))
    assert str(caught.value) == message


SURROGATE = "'utf-8' codec can't encode character '\\ud800' in position 1: surrogates not allowed"


@pytest.mark.parametrize("call, value, error, message", [
    (m.parse_dot, b"/tmp/x.dot", TypeError, "argument 'path': 'bytes' object cannot be cast as 'str'"),
    (m.parse_dot, pathlib.Path("/tmp/x.dot"), TypeError,
     "argument 'path': 'PosixPath' object cannot be cast as 'str'"),
    (m.parse_dot_string, b"a -- b", TypeError, "argument 'content': 'bytes' object cannot be cast as 'str'"),
    (m.parse_dot_string, None, TypeError, "argument 'content': 'NoneType' object cannot be cast as 'str'"),
    (m.parse_dot, "a\ud800 -- b", UnicodeEncodeError, SURROGATE),
    (m.parse_dot_string, "a\ud800 -- b", UnicodeEncodeError, SURROGATE),
])
def test_arguments_that_are_not_utf8_str_raise_type_or_encode_errors(call, value, error, message):
    with pytest.raises(error) as caught:
        call(value)
    assert str(caught.value) == message
