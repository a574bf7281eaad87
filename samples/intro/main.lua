-- A short 2D intro for the sample: bars sweeping over a shifting backdrop, the city's facade and a
-- title, captured frame by frame to frames/intro_NNNNNN.bmp.
ta.Setup(640, 360, 32, true)
ta.LoadImage("facade.png", 1)
ta.SetTextColor(0xFFFFFF)

local frames = 48
for f = 0, frames - 1 do
  if not ta.Run() or ta.EscapeKey() then break end
  ta.ColorBackdrop(ta.RGB(10 + f * 2, 20, 60 + f))
  for i = 0, 7 do
    ta.Ink(ta.RGB(255 - i * 30, 80 + i * 20, i * 30))
    local x = (f * 12 + i * 80) % 700 - 60
    ta.Box(x, 30 + i * 34, x + 50, 50 + i * 34)
  end
  ta.Ink(0xFFFFFF)
  ta.Line(0, 310, math.floor(f * 640 / frames), 310)
  ta.PasteImageStretch(1, 440, 180, 160, 120)
  ta.Text(20, 320, "Tarv Engine -", "frame", f + 1, "of", frames)
  ta.Sync()
  ta.ScreenShot(string.format("frames/intro_%06d.bmp", f + 1))
end
