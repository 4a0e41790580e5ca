-- Shared by the render and watch steps: loads the check's session (ARDOUR_CHECK_DIR,
-- ARDOUR_CHECK_NAME) on the Dummy backend and makes sure the track reaches the master bus and
-- its plug-in loaded. Answers a table with say, fail, the session, the track's plug-in and
-- ARDOUR_CHECK_FRAMES.
local check = {}
function check.say(...) print(...) io.stdout:flush() end
function check.fail(message) check.say("FAIL: " .. message) os.exit(1) end

check.frames = tonumber(os.getenv("ARDOUR_CHECK_FRAMES"))
if not AudioEngine:set_backend("None (Dummy)", "", "") then check.fail("no Dummy backend") end
check.session = load_session(os.getenv("ARDOUR_CHECK_DIR"), os.getenv("ARDOUR_CHECK_NAME"))
if not check.session then check.fail("cannot load the session") end
local track = check.session:route_by_name("Slicer")
for channel = 0, 1 do
  if not track:output():audio(channel):connected_to(
      check.session:master_out():input():audio(channel):name()) then
    check.fail("the track is not connected to the master bus")
  end
end
check.plugin = track:nth_plugin(0)
if check.plugin:isnil() then check.fail("the plug-in did not load") end
return check
