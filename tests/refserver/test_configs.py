"""POST /o: which configuration file answers, and the sample files themselves."""
import glob
import hashlib
import json
import os
import re

from conftest import REFSERVER

CONFIGS = os.path.join(REFSERVER, "configs")
DLM_REQUEST = {"prv": "0.1", "plv": "3.0.9.1", "l": "en", "a": "Orvane", "i": "Orvane_DLM",
               "s": "Orvane_3cpp", "u": "", "o": "10.0.18362"}


def cleaned(data):
    """What the wizard parses: the answer with every white-space byte removed."""
    return json.loads(re.sub(rb"[ \t\n\v\f\r]", b"", data))


def ask(server, path="/o", **fields):
    status, headers, data = server.post(path, dict(DLM_REQUEST, **fields))
    return status, headers.get("x-refserver-config"), data


def test_language_file_is_chosen_and_default_is_the_fallback(server):
    status, name, data = ask(server, l="es")
    assert (status, name) == (200, "dlm/Orvane_DLM/es.json")
    assert cleaned(data)["i"]["ct"] == "Reproductor Demo Welvane"
    assert ask(server, l="en")[1] == "dlm/Orvane_DLM/default.json"
    assert ask(server, l="")[1] == "dlm/Orvane_DLM/default.json"
    assert ask(server, l="../x")[1] == "dlm/Orvane_DLM/default.json"


def test_unknown_installer_uses_the_set_default_or_404(server):
    assert ask(server, "/t/cfg1/set=dlm-no-offers/o", i="Someone_Else")[1] == "dlm-no-offers/default.json"
    status, _, _ = ask(server, i="Someone_Else")
    assert status == 404


def test_set_directive_and_control_api_choose_the_isv_samples(server):
    assert ask(server, "/t/cfg2/set=isv/o")[1] == "isv/Orvane_DLM/default.json"
    status, answer = server.control("POST", "config-set", {"set": "isv"})
    try:
        assert (status, answer["set"]) == (200, "isv")
        assert ask(server)[1] == "isv/Orvane_DLM/default.json"
        assert server.control("POST", "config-set", {"set": "no-such-set"})[0] == 400
    finally:
        server.control("POST", "config-set", {"set": "dlm"})
    assert ask(server)[1] == "dlm/Orvane_DLM/default.json"


def test_uploaded_configuration_is_served_verbatim(server):
    text = '{"i":{"ct":"Up loaded","cu":"https://127.0.0.1/f/x.exe"}}\n'
    status, answer = server.control("POST", "config", {"set": "upload", "lang": "es", "config": text})
    assert status == 200 and answer["stored"] == "upload/Orvane_DLM/es.json"
    status, name, data = ask(server, "/t/cfg3/set=upload/o", l="es")
    assert (status, data) == (200, text.encode())


def test_request_bodies_are_logged(server):
    since = server.control("GET", "health")[1]["requests"]
    ask(server, l="es", u="AbCdEfG")
    _, answer = server.control("GET", f"requests?since={since}&path=/o")
    logged = [json.loads(r["body"]) for r in answer["requests"]]
    assert any(r["u"] == "AbCdEfG" and r["l"] == "es" for r in logged)
    with open(os.path.join(server.state, "requests.log")) as f:
        assert "AbCdEfG" in f.read()


def test_a_request_that_is_not_json_gets_400(server):
    assert server.post("/o", b"not json")[0] == 400
    assert server.get("/o")[0] == 405


# --- the committed sample files ------------------------------------------------------------------

def sample_files():
    return sorted(glob.glob(os.path.join(CONFIGS, "**", "*.json"), recursive=True))


def strings(value):
    if isinstance(value, str):
        yield value
    elif isinstance(value, list):
        for v in value:
            yield from strings(v)
    elif isinstance(value, dict):
        for v in value.values():
            yield from strings(v)


def test_samples_survive_white_space_removal_unchanged():
    assert len(sample_files()) >= 6
    for path in sample_files():
        with open(path, "rb") as f:
            data = f.read()
        assert cleaned(data) == json.loads(data), path  # no literal white space inside strings


def test_samples_follow_the_offer_schema():
    for path in sample_files():
        with open(path, "rb") as f:
            config = cleaned(f.read())
        if "i" in config:
            assert config["i"]["ct"] and config["i"]["cu"].startswith("https://"), path
        if "o" in config:
            assert isinstance(config["f"]["m"], int), path
            for offer in config["o"]:
                assert isinstance(offer["ad"]["o"], str) and isinstance(offer["ad"]["f"], str)
                ps = offer["ps"]
                for key in ("i", "dn", "u"):
                    assert isinstance(ps[key], str) and ps[key], (path, key)
                assert isinstance(ps.get("exc", False), bool)
                assert "?" not in ps["u"], "a query would become part of the saved file name"


def test_isv_samples_have_no_main_product_and_dlm_samples_have_offers_off_variant():
    with open(os.path.join(CONFIGS, "isv", "Orvane_DLM", "default.json"), "rb") as f:
        assert "i" not in cleaned(f.read())
    with open(os.path.join(CONFIGS, "dlm-offers-off", "default.json"), "rb") as f:
        assert cleaned(f.read())["i"]["ch"] == "00xA"


def test_named_hashes_are_those_of_the_served_files(server):
    status, _, data = server.post("/o", DLM_REQUEST)
    product = cleaned(data)["i"]
    _, _, served = server.get("/f/welvane-demo-player-setup.exe")
    assert status == 200 and product["sha256"] == hashlib.sha256(served).hexdigest()
