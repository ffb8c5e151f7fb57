namespace device {}
