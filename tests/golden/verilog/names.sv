//==========================================================
//	Kandrel Auto Generation
//==========================================================

module Name_test_1_0( input iPixClk,
	//ExtIn
	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	Zone_plate_v1_2
		Proc1( iPixClk,
			//In
			//Out
				Proc1_O1_INT,
				Proc1_O1_Sync
			);
			wire [ 7:0]	Proc1_O1_INT;
			wire [ 2:0]	Proc1_O1_Sync;

	Gamma+Contrast
		Proc2( iPixClk,
			//In
				Proc1_O1_INT,
				Proc1_O1_Sync,
			//Out
				Proc2_O1_INT,
				Proc2_O1_Sync
			);
			wire [ 7:0]	Proc2_O1_INT;
			wire [ 2:0]	Proc2_O1_Sync;

	//ExtOut
	assign O1_INT	= Proc2_O1_INT;
	assign O1_Sync	= Proc2_O1_Sync;

endmodule
//----------------------------------------------------------

module Zone_plate_v1_2( input iPixClk,
	//ExtIn
	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	//-----------------------
	// Under construction...
	//-----------------------
endmodule
//----------------------------------------------------------

module Gamma+Contrast( input iPixClk,
	//ExtIn
		input [ 7:0]	Ext_In1_INT,
		input [ 2:0]	Ext_In1_Sync,

	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	//-----------------------
	// Under construction...
	//-----------------------
endmodule
//----------------------------------------------------------

