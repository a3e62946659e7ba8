set(READ_ONLY ACQ/dataINF2.txt)
# Windows refuses to remove a read-only file; Linux refuses an immutable one, even to root.
set(IMMUTABLE ACQ/dataINF2.txt)
