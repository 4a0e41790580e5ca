-- Loads the check's session and exports the master bus from frame 0 for ARDOUR_CHECK_FRAMES
-- frames with the export preset ARDOUR_CHECK_PRESET into the folder ARDOUR_CHECK_OUT_DIR.
local function say(...) print(...) io.stdout:flush() end
local function fail(message) say("FAIL: " .. message) os.exit(1) end

local dir = os.getenv("ARDOUR_CHECK_DIR")
local name = os.getenv("ARDOUR_CHECK_NAME")
local frames = tonumber(os.getenv("ARDOUR_CHECK_FRAMES"))

if not AudioEngine:set_backend("None (Dummy)", "", "") then fail("no Dummy backend") end
local session = load_session(dir, name)
if not session then fail("cannot load the session") end
for channel = 0, 1 do
  if not session:route_by_name("Slicer"):output():audio(channel):connected_to(
      session:master_out():input():audio(channel):name()) then
    fail("the track is not connected to the master bus")
  end
end
if session:route_by_name("Slicer"):nth_plugin(0):isnil() then fail("the plug-in did not load") end

local export = session:simple_export()
export:set_folder(os.getenv("ARDOUR_CHECK_OUT_DIR"))
export:set_range(0, frames)
if not export:set_preset(os.getenv("ARDOUR_CHECK_PRESET")) then fail("no export preset") end
if not export:run_export() then fail("the export failed") end
say("exported frames 0.." .. (frames - 1))
close_session()
quit()
