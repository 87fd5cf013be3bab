# Build additions of the render layer (included inside torvane_layer(render ...)).

# The six typefaces come from the npm packages pinned in package.json (scripts/setup runs npm ci)
# and are linked into the library, so the program reads no font file at run time.
set(torvane_font_dir ${CMAKE_SOURCE_DIR}/node_modules/@expo-google-fonts)
set(torvane_fonts
  font_manrope_regular    manrope/400Regular/Manrope_400Regular.ttf
  font_manrope_medium     manrope/500Medium/Manrope_500Medium.ttf
  font_manrope_semibold   manrope/600SemiBold/Manrope_600SemiBold.ttf
  font_manrope_bold       manrope/700Bold/Manrope_700Bold.ttf
  font_urbanist_bold      urbanist/700Bold/Urbanist_700Bold.ttf
  font_urbanist_extrabold urbanist/800ExtraBold/Urbanist_800ExtraBold.ttf)
while(torvane_fonts)
  list(POP_FRONT torvane_fonts symbol file)
  if(NOT EXISTS ${torvane_font_dir}/${file})
    message(FATAL_ERROR "Missing ${torvane_font_dir}/${file}: run scripts/setup (npm ci) first")
  endif()
  torvane_embed(torvane_render ${symbol} ${torvane_font_dir}/${file})
endwhile()

# The launcher's own artwork (drawn by tools/artwork, committed in assets/).
torvane_embed(torvane_render media_hero_torvane ${CMAKE_SOURCE_DIR}/assets/hero-torvane.webp)
torvane_embed(torvane_render media_logo_torvane ${CMAKE_SOURCE_DIR}/assets/logo-torvane.png)
torvane_embed(torvane_render media_crest_torvane ${CMAKE_SOURCE_DIR}/assets/crest-torvane.png)
foreach(size 16 24 32 48 64 128 256)
  torvane_embed(torvane_render window_icon_${size} ${CMAKE_SOURCE_DIR}/assets/window-icon-${size}.png)
endforeach()

# The compositors' vector forms pass 32-byte vectors between inlined helpers only; the note on
# their calling convention is noise.
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/render/compositing.cpp PROPERTIES COMPILE_OPTIONS -Wno-psabi)
