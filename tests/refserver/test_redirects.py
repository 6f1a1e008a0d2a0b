"""Redirect chains: hop counts, absolute and relative Location, codes, other host, final target."""
import urllib.parse

from conftest import split_response

HELLO = b"Hello from the Welvane reference server.\n"


def follow(server, path, limit=20):
    """Follows Location by hand; returns the list of (status, location) and the final body."""
    hops = []
    for _ in range(limit):
        status, headers, body = server.get(path)
        if status not in (301, 302, 303, 307, 308):
            return hops, status, body
        location = headers["location"]
        hops.append((status, location))
        path = urllib.parse.urlsplit(location)._replace(scheme="", netloc="").geturl()
    raise AssertionError("too many hops")


def test_chain_of_five_absolute_redirects(server, scenario):
    hops, status, body = follow(server, f"/t/{scenario}/redirect=5/f/hello.txt")
    assert (len(hops), status, body) == (5, 200, HELLO)
    assert all(code == 302 for code, _ in hops)
    assert hops[0][1] == f"https://localhost:{server.port}/t/{scenario}/redirect=4/f/hello.txt"
    assert hops[-1][1] == f"https://localhost:{server.port}/t/{scenario}/-/f/hello.txt"


def test_relative_location_and_redirect_code(server, scenario):
    hops, status, body = follow(server, f"/t/{scenario}/redirect=2,loc=rel,rcode=301/f/hello.txt")
    assert [code for code, _ in hops] == [301, 301]
    assert hops[0][1] == f"/t/{scenario}/redirect=1,loc=rel,rcode=301/f/hello.txt"
    assert (status, body) == (200, HELLO)


def test_other_directives_stay_for_the_final_target(server, scenario):
    hops, status, body = follow(server, f"/t/{scenario}/redirect=1,cut=5/f/hello.txt")
    assert len(hops) == 1 and (status, body) == (200, HELLO[:5])


def test_host_switch_keeps_the_port(server, scenario):
    status, headers, _ = server.get(f"/t/{scenario}/redirect=1,host=127.0.0.1/f/hello.txt")
    assert headers["location"] == f"https://127.0.0.1:{server.port}/t/{scenario}/host=127.0.0.1/f/hello.txt"


def test_configurable_final_target(server, scenario):
    target = urllib.parse.quote("/f/empty.png", safe="")
    hops, status, body = follow(server, f"/t/{scenario}/redirect=2,to={target}/f/hello.txt")
    assert hops[-1][1] == f"https://localhost:{server.port}/f/empty.png"
    assert (status, body) == (200, b"")
    absolute = urllib.parse.quote("https://example.invalid/x.exe", safe="")
    status, headers, _ = server.get(f"/t/{scenario}/redirect=1,to={absolute}/f/hello.txt")
    assert headers["location"] == "https://example.invalid/x.exe"


def test_redirect_only_on_the_first_attempt(server, scenario):
    path = f"/t/{scenario}/redirect=3:0/f/hello.txt"
    assert server.get(path)[0] == 302
    assert server.get(path)[:3:2] == (200, HELLO)


def test_redirect_answer_is_well_framed(server, scenario):
    data, _ = server.raw_get(f"/t/{scenario}/redirect=1/f/hello.txt")
    status, headers, body = split_response(data)
    assert status == 302 and headers["content-length"] == str(len(body))
