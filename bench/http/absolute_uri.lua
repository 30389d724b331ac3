-- wrk script: every request names its target in absolute form, as a client
-- talking to a proxy does. TARGET is the absolute URI; CLOSE=1 asks for a new
-- connection per request.
wrk.path = os.getenv("TARGET")
if os.getenv("CLOSE") == "1" then
  wrk.headers["Connection"] = "close"
  wrk.headers["Proxy-Connection"] = "close"
end
