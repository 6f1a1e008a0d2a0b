"""The control API under /_control/: lets tests read back what arrived and steer the server.

Every answer is JSON. See README.md for the list.
"""
import json
import os
import urllib.parse

from faults import SCENARIO_RE, FaultError
from transmit import Response


def _json(status, value):
    return Response(status, json.dumps(value, ensure_ascii=False).encode("utf-8"), "application/json")


def _int_param(params, name, default=0):
    try:
        return int(params.get(name, [default])[0])
    except ValueError:
        return default


def _load(body):
    if not body.strip():
        return {}
    value = json.loads(body.decode("utf-8"))
    if not isinstance(value, dict):
        raise ValueError("expected a JSON object")
    return value


def handle(app, method, name, query, body):
    params = urllib.parse.parse_qs(query)
    try:
        request = _load(body) if method in ("POST", "PUT") else {}
    except ValueError as e:
        return _json(400, {"error": f"body: {e}"})
    route = ROUTES.get((method, name))
    if route is None:
        return _json(404, {"error": f"no control route {method} {name}"})
    try:
        return route(app, params, request)
    except (ValueError, FaultError) as e:
        return _json(400, {"error": str(e)})


def health(app, params, request):
    return _json(200, {"ok": True, "pid": os.getpid(), "port": app.port, "config_set": app.config_set,
                       "sets": app.configs.sets(), "state_dir": app.state_dir, **app.store.last_ids()})


def events(app, params, request):
    package = params.get("package", [None])[0]
    code = params.get("code", [None])[0]
    found = app.store.events(_int_param(params, "since"), package, code)
    return _json(200, {"events": found, "last_id": app.store.last_ids()["events"]})


def requests(app, params, request):
    found = app.store.requests(_int_param(params, "since"), params.get("path", [""])[0])
    return _json(200, {"requests": found, "last_id": app.store.last_ids()["requests"]})


def scenarios(app, params, request):
    return _json(200, {"scenarios": app.scenarios.snapshot()})


def reset(app, params, request):
    scenario = request.get("scenario") or params.get("scenario", [None])[0]
    if scenario:
        app.scenarios.reset(scenario)
        app.holds.reset(scenario)
    else:
        app.reset()
    return _json(200, {"ok": True, **app.store.last_ids()})


def release(app, params, request):
    scenario = request.get("scenario")
    if not isinstance(scenario, str) or not SCENARIO_RE.match(scenario):
        raise ValueError('release wants {"scenario": "<scenario id>"}')
    return _json(200, {"ok": True, "held": app.holds.release(scenario)})


def holds(app, params, request):
    return _json(200, {"holds": app.holds.snapshot()})


def get_config_set(app, params, request):
    return _json(200, {"set": app.config_set, "sets": app.configs.sets()})


def set_config_set(app, params, request):
    name = request.get("set")
    if name not in app.configs.sets():
        raise ValueError(f"unknown configuration set {name!r}")
    app.config_set = name
    return get_config_set(app, params, request)


def get_faults(app, params, request):
    return _json(200, {"faults": app.get_plain_faults()})


def set_faults(app, params, request):
    return _json(200, {"faults": app.set_plain_faults(request)})


def put_config(app, params, request):
    config = request.get("config")
    if isinstance(config, str):
        data = config.encode("utf-8")
    elif config is not None:
        # Compact, so blanks occur only inside strings; they are written as \u0020, as the sample files do,
        # because the wizard drops every white-space character of the answer before parsing it.
        text = json.dumps(config, ensure_ascii=False, separators=(",", ":"))
        data = text.replace(" ", "\\u0020").encode("utf-8")
    else:
        raise ValueError('missing "config" (a JSON value, or a string sent verbatim)')
    stored = app.configs.put(request.get("set", "custom"), request.get("installer", "Orvane_DLM"),
                             request.get("lang", "default"), data)
    return _json(200, {"stored": stored})


ROUTES = {
    ("GET", "health"): health,
    ("GET", "events"): events,
    ("GET", "requests"): requests,
    ("GET", "scenarios"): scenarios,
    ("POST", "reset"): reset,
    ("POST", "release"): release,
    ("GET", "holds"): holds,
    ("GET", "config-set"): get_config_set,
    ("POST", "config-set"): set_config_set,
    ("GET", "faults"): get_faults,
    ("POST", "faults"): set_faults,
    ("POST", "config"): put_config,
}
