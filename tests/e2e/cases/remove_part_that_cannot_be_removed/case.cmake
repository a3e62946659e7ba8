set(IMMUTABLE ACQ/dataINF2.txt)
