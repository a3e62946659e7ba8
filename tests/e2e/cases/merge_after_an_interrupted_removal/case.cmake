# A run stopped after it removed the first part: the second part has changed since, the third
# is as it was merged. The next run stops at the missing part and says which can go.
set(STATUS 1)
set(UNCHANGED ON)
