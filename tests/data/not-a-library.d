PADS decal export
