# The main window's skin: the shaped-window component, its stored outline
# and the skin picture, both drawn by scripts/make-skin.py.

target_sources(omrek_app PRIVATE
  CoolForm.cpp
  MainSkin.cpp
  MaskProperty.cpp
  RegionData.cpp
)

qt_add_resources(omrek_app skin
  PREFIX /skin
  BASE skin
  FILES
    skin/Mask2.bin
    skin/Skin.bmp
)
