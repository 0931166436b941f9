"""tolva._tolva.graph_from_json_line, the native reader of plain corpus lines: whatever it
returns must be what Python's json plus graph_from_edges make of the line, and every line
outside its plain form must be left (None) to that full reader."""

import json

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from tolva._tolva import graph_from_edges, graph_from_json_line

# Characters that need escapes, non-ASCII ones and a pair beyond the BMP (a surrogate pair
# when escaped).
TEXTS = st.text(alphabet=st.sampled_from(['a', 'b', '"', '\\', '/', '\n', '\t', '\x01', 'é', '€', '😀', ' ']),
                max_size=5)


@st.composite
def plain_lines(draw):
    nodes = draw(st.lists(st.tuples(TEXTS, TEXTS), max_size=5))
    edges = draw(st.lists(st.tuples(TEXTS, TEXTS, TEXTS), max_size=6))
    record = {"name": draw(TEXTS), "nodes": [list(n) for n in nodes], "edges": [list(e) for e in edges]}
    extra = draw(st.dictionaries(st.sampled_from(["smiles", "id", "note"]), TEXTS, max_size=2))
    items = list(record.items()) + list(extra.items())
    order = draw(st.permutations(items))
    text = json.dumps(dict(order), ensure_ascii=draw(st.booleans()),
                      separators=draw(st.sampled_from([(",", ":"), (", ", ": "), (" ,\t", " :\r\n ")])))
    return (text + draw(st.sampled_from(["", "\n", "\r\n", "  \n"]))).encode("utf-8")


def same_graph(a, b):
    return a.node_labels() == b.node_labels() and a.edges() == b.edges()


@settings(max_examples=400, deadline=None)
@given(plain_lines())
def test_plain_lines_read_as_json_and_graph_from_edges_read_them(line):
    record = json.loads(line)
    expected = graph_from_edges([tuple(n) for n in record["nodes"]], [tuple(e) for e in record["edges"]])
    read = graph_from_json_line(line)
    assert read is not None
    name, graph = read
    assert name == record["name"]
    assert same_graph(graph, expected)


@st.composite
def damaged_lines(draw):
    """A plain line with a few bytes replaced, inserted or removed."""
    line = bytearray(draw(plain_lines()))
    for _ in range(draw(st.integers(1, 3))):
        at = draw(st.integers(0, len(line)))
        byte = draw(st.sampled_from(b'{}[],:"\\u0 \t\x00\x7f\xc3\xa9\xff') | st.integers(0, 255))
        action = draw(st.sampled_from(["replace", "insert", "remove"]))
        if action == "insert" or at == len(line):
            line[at:at] = bytes([byte])
        elif action == "replace":
            line[at] = byte
        else:
            del line[at]
    return bytes(line)


@settings(max_examples=400, deadline=None)
@given(damaged_lines())
def test_damaged_lines_are_read_as_json_reads_them_or_left_to_it(line):
    read = graph_from_json_line(line)
    if read is None:
        return
    # Whatever the native reader accepts, Python's json accepts too, with the same graph.
    record = json.loads(line.decode("utf-8"))
    expected = graph_from_edges([tuple(n) for n in record["nodes"]], [tuple(e) for e in record["edges"]])
    assert read[0] == record["name"]
    assert same_graph(read[1], expected)


@pytest.mark.parametrize("line", [
    b'{"name":"x","nodes":[],"edges":[],"size":3}',                    # a number
    b'{"name":"x","nodes":[],"edges":[],"meta":{"a":"b"}}',            # nesting
    b'{"name":"x","nodes":[],"edges":[],"name":"y"}',                  # a doubled key: json keeps the last
    b'{"name":"x","nodes":[]}',                                        # a missing key
    b'{"name":"x","nodes":[["a"]],"edges":[]}',                        # a short item
    b'{"name":"x","nodes":[["a","b","c"]],"edges":[]}',                # a long item
    b'{"name":"x","nodes":[],"edges":[["a","b",1]]}',                  # not a string
    b'{"name":"\\ud800","nodes":[],"edges":[]}',                       # a lone surrogate
    b'{"name":"\\udc00\\ud800","nodes":[],"edges":[]}',
    b'{"name":"\xff","nodes":[],"edges":[]}',                          # not UTF-8
    b'{"name":"\xed\xa0\x80","nodes":[],"edges":[]}',                  # an encoded surrogate
    b'{"name":"a\x01","nodes":[],"edges":[]}',                         # a raw control character
    b'{"name":"x","nodes":[],"edges":[]} x',                           # text after the object
    b'{"name":"x","nodes":[],"edges":[],}',                            # a trailing comma
    b'{"name":"x","nodes":[,],"edges":[]}',
    b'\xef\xbb\xbf{"name":"x","nodes":[],"edges":[]}',                 # a byte order mark
    b'{"name":"x\\q","nodes":[],"edges":[]}',                          # an unknown escape
    b'{"name":"x\\u12","nodes":[],"edges":[]}',
    b'["name","x"]',
    b'',
])
def test_lines_outside_the_plain_form_are_left_to_the_full_reader(line):
    assert graph_from_json_line(line) is None


def test_only_bytes_are_taken():
    with pytest.raises(TypeError):
        graph_from_json_line('{"name":"x","nodes":[],"edges":[]}')
