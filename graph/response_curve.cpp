// CGraphical curve store
