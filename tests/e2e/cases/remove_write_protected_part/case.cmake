set(READ_ONLY ACQ/dataINF2.txt)
