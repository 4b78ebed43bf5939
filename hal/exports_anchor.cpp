// Every symbol of libpndhal.so comes from the HAL core linked in whole.
