-- Loads the check's session and exports the master bus from frame 0 for ARDOUR_CHECK_FRAMES
-- frames with the export preset ARDOUR_CHECK_PRESET into the folder ARDOUR_CHECK_OUT_DIR.
local check = dofile(os.getenv("ARDOUR_CHECK_TESTS") .. "/open_session.lua")
local say, fail, session, frames = check.say, check.fail, check.session, check.frames

local export = session:simple_export()
export:set_folder(os.getenv("ARDOUR_CHECK_OUT_DIR"))
export:set_range(0, frames)
if not export:set_preset(os.getenv("ARDOUR_CHECK_PRESET")) then fail("no export preset") end
if not export:run_export() then fail("the export failed") end
say("exported frames 0.." .. (frames - 1))
close_session()
quit()
